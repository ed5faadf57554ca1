#include "gui/recent_files.h"

#include <QSettings>

namespace orlavo::gui {

namespace {
const QString kKey = QStringLiteral("RecentFiles/Paths");
}  // namespace

RecentFiles::RecentFiles(QString store) : m_store(std::move(store))
{
    m_paths = QSettings(m_store, QSettings::IniFormat).value(kKey).toStringList();
    m_paths.removeAll(QString());
    m_paths.removeDuplicates();
    if (m_paths.size() > kMaxFiles) {
        m_paths.resize(kMaxFiles);
    }
}

void RecentFiles::add(const QString& path)
{
    m_paths.removeAll(path);
    m_paths.prepend(path);
    if (m_paths.size() > kMaxFiles) {
        m_paths.resize(kMaxFiles);
    }
    save();
}

void RecentFiles::remove(const QString& path)
{
    if (m_paths.removeAll(path) > 0) {
        save();
    }
}

void RecentFiles::save() const
{
    QSettings store(m_store, QSettings::IniFormat);
    store.setValue(kKey, m_paths);
}

}  // namespace orlavo::gui
