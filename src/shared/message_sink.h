#pragma once
// Where the models send what the user must see: the window shows a message
// box, the command-line tools print to stderr.
#include <string_view>

namespace orlavo::signfeed {

enum class MessageIcon { Information, Exclamation, Critical };

class MessageSink {
public:
    virtual void showMessage(MessageIcon icon, std::string_view title, std::string_view text) = 0;
    // Information that asks nothing of the user. A window shows it in place
    // (the model keeps it in a field), so its sink drops it; a tool prints it.
    virtual void showNotice(std::string_view title, std::string_view text)
    {
        showMessage(MessageIcon::Information, title, text);
    }

protected:
    ~MessageSink() = default;
};

}  // namespace orlavo::signfeed
