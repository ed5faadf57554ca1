#pragma once
// What the models say the user must see, shown as message boxes over the
// window that is active, with the icon the model names.
#include "shared/message_sink.h"

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace orlavo::gui {

// Wrapped text never breaks a word such as apt-get at its hyphen: a word
// joiner follows each one.
[[nodiscard]] QString unbrokenAtHyphens(QString text);

class MessageBoxSink final : public signfeed::MessageSink {
public:
    // Tests replace the modal box, which would wait for a click.
    using Presenter = std::function<void(signfeed::MessageIcon, const std::string& title, const std::string& text)>;

    void showMessage(signfeed::MessageIcon icon, std::string_view title, std::string_view text) override;
    // The window shows notices in place (the model keeps them in its fields).
    void showNotice(std::string_view /*title*/, std::string_view /*text*/) override {}
    void setPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

private:
    Presenter m_presenter;
};

}  // namespace orlavo::gui
