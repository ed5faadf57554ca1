#include "gui/announce_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace orlavo::gui {

AnnounceBar::AnnounceBar(signfeed::Announcement& announcement, signfeed::MessageSink& messages, QWidget* parent)
    : QWidget(parent), m_announcement(announcement), m_messages(messages)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("A&nnounce:"), this);
    m_text = new QLineEdit(this);
    m_text->setMaxLength(static_cast<int>(signfeed::kMessageBudget));
    m_text->setPlaceholderText(QStringLiteral("A text shown instead of the headlines for a while"));
    caption->setBuddy(m_text);
    m_text->setAccessibleName(QStringLiteral("Announce"));
    m_minutes = new QSpinBox(this);
    m_minutes->setRange(1, signfeed::kAnnounceMinutesMax);
    m_minutes->setValue(signfeed::kAnnounceMinutesDefault);
    m_minutes->setSuffix(QStringLiteral(" min"));
    m_minutes->setAccessibleName(QStringLiteral("Announcement minutes"));
    m_button = new QPushButton(this);
    m_button->setAutoDefault(false);
    layout->addWidget(caption);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_minutes);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this] { clicked(); });
    connect(m_text, &QLineEdit::returnPressed, this, [this] { clicked(); });
    m_announcement.setChangeListener([this] { refresh(); });
    refresh();
}

AnnounceBar::~AnnounceBar()
{
    m_announcement.setChangeListener(nullptr);
}

void AnnounceBar::refresh()
{
    const bool on = m_announcement.active();
    m_button->setText(on ? QStringLiteral("&End Announcement") : QStringLiteral("Announce"));
    m_text->setReadOnly(on);
    m_minutes->setEnabled(!on);
    if (on) {
        m_text->setText(QString::fromStdString(m_announcement.text()));
    }
}

void AnnounceBar::clicked()
{
    if (m_announcement.active()) {
        m_announcement.clear();
        return;
    }
    const signfeed::AnnounceResult result = m_announcement.start(m_text->text().toStdString(), m_minutes->value());
    if (!result.error.empty()) {
        m_messages.showMessage(signfeed::MessageIcon::Exclamation, "Announce", "Not shown: " + result.error + ".");
    } else if (!result.note.empty()) {
        m_messages.showMessage(signfeed::MessageIcon::Information, "Announce", "Shown, " + result.note + ".");
    }
}

}  // namespace orlavo::gui
