#pragma once
// MessageSink that remembers every message instead of showing a box.
#include "signfeed/message_sink.h"

#include <string>
#include <vector>

namespace orlavo::testing {

class FakeMessageSink final : public signfeed::MessageSink {
public:
    struct Message {
        signfeed::MessageIcon icon;
        std::string title;
        std::string text;
    };

    void showMessage(signfeed::MessageIcon icon, std::string_view title, std::string_view text) override
    {
        m_messages.push_back(Message{icon, std::string(title), std::string(text)});
    }

    [[nodiscard]] const std::vector<Message>& messages() const { return m_messages; }

private:
    std::vector<Message> m_messages;
};

}  // namespace orlavo::testing
