#include "gui/message_box_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace orlavo::gui {

namespace {

QMessageBox::Icon boxIcon(signfeed::MessageIcon icon)
{
    switch (icon) {
    case signfeed::MessageIcon::Information:
        return QMessageBox::Information;
    case signfeed::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case signfeed::MessageIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString unbrokenAtHyphens(QString text)
{
    return text.replace(QLatin1Char('-'), QStringLiteral("-\u2060"));
}

void MessageBoxSink::showMessage(signfeed::MessageIcon icon, std::string_view title, std::string_view text)
{
    const std::string t(title);
    const std::string m(text);
    if (m_presenter) {
        m_presenter(icon, t, m);
        return;
    }
    QMessageBox box(boxIcon(icon), QString::fromStdString(t), unbrokenAtHyphens(QString::fromStdString(m)), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace orlavo::gui
