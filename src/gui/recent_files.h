#pragma once
// The settings files the desktop program opened lately, newest first, kept
// in its own settings file (never in a sign's).
#include <QString>
#include <QStringList>

namespace orlavo::gui {

class RecentFiles {
public:
    static constexpr int kMaxFiles = 8;

    // store: the file that keeps the list; read now, written on every change.
    explicit RecentFiles(QString store);

    [[nodiscard]] const QStringList& paths() const { return m_paths; }
    // To the top of the list; the oldest beyond kMaxFiles drop off.
    void add(const QString& path);
    void remove(const QString& path);

private:
    void save() const;

    QString m_store;
    QStringList m_paths;
};

}  // namespace orlavo::gui
