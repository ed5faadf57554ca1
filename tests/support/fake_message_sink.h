#pragma once
// MessageSink that remembers every message instead of showing a box.
#include "shared/message_sink.h"

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
    // Each message as "title: text", for comparing whole boxes at once.
    [[nodiscard]] std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const Message& m : m_messages) {
            out.push_back(m.title + ": " + m.text);
        }
        return out;
    }

private:
    std::vector<Message> m_messages;
};

}  // namespace orlavo::testing
