#pragma once
// The main window's Announce row: a text, its minutes and a button that
// shows the text on the sign instead of the headlines, and ends it early
// while it is on (see signfeed::Announcement).
#include "shared/message_sink.h"
#include "signfeed/announcement.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

namespace orlavo::gui {

class AnnounceBar final : public QWidget {
    Q_OBJECT

public:
    AnnounceBar(signfeed::Announcement& announcement, signfeed::MessageSink& messages, QWidget* parent);
    ~AnnounceBar() override;

    [[nodiscard]] QLineEdit* textField() const { return m_text; }
    [[nodiscard]] QSpinBox* minutesField() const { return m_minutes; }
    [[nodiscard]] QPushButton* button() const { return m_button; }
    // The fields and the button's caption from the announcement.
    void refresh();

private:
    void clicked();

    signfeed::Announcement& m_announcement;
    signfeed::MessageSink& m_messages;
    QLineEdit* m_text = nullptr;
    QSpinBox* m_minutes = nullptr;
    QPushButton* m_button = nullptr;
};

}  // namespace orlavo::gui
