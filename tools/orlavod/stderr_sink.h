#pragma once
// Messages for the user, printed on stderr by the command-line runner.
#include "platform/code_page.h"
#include "shared/message_sink.h"

#include <cstdio>
#include <string>

namespace orlavo::tools {

class StderrSink final : public signfeed::MessageSink {
public:
    StderrSink() = default;
    // prefix starts every line: "lobby: " when one program drives several signs.
    explicit StderrSink(std::string prefix) : m_prefix(std::move(prefix)) {}

    void showMessage(signfeed::MessageIcon icon, std::string_view title, std::string_view text) override
    {
        const char* level = icon == signfeed::MessageIcon::Critical ? "error" : "warning";
        std::string line = "orlavod: " + std::string(level) + ": " + std::string(title) + ": " + std::string(text);
        ++count;
        // An update meets one cause more than once (a missing serial device
        // fails the port test and then the send): one line says it.
        if (line == m_last) {
            return;
        }
        m_last = line;
        std::fprintf(stderr, "%s%s\n", m_prefix.c_str(), platform::escapeControls(line).c_str());
    }
    // A new update: what it meets is news again.
    void forgetLast() { m_last.clear(); }

    int count = 0;

private:
    std::string m_prefix;
    std::string m_last;
};

}  // namespace orlavo::tools
