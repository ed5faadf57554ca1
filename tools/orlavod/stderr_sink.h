#pragma once
// Messages for the user, printed on stderr by the command-line runner.
#include "signfeed/message_sink.h"

#include <cstdio>
#include <string>

namespace orlavo::tools {

class StderrSink final : public signfeed::MessageSink {
public:
    void showMessage(signfeed::MessageIcon icon, std::string_view title, std::string_view text) override
    {
        const char* level = icon == signfeed::MessageIcon::Critical ? "error" : "warning";
        std::string line = "orlavod: " + std::string(level) + ": " + std::string(title) + ": " + std::string(text);
        std::fprintf(stderr, "%s\n", line.c_str());
        ++count;
    }
    int count = 0;
};

}  // namespace orlavo::tools
