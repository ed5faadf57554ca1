#include "headless_program.h"

#include "platform/ascii.h"

#include <cstdio>

namespace orlavo::tools {

void StatusPrinter::fieldChanged(signfeed::Field field)
{
    if (field != signfeed::Field::TInfo && field != signfeed::Field::Status) {
        return;
    }
    const std::string& text = m_window.control(field).text;
    if (!text.empty()) {
        // Status texts carry the server's reason phrase and addresses.
        std::fprintf(stderr, "orlavod: %s\n", platform::escapeControlBytes(text).c_str());
    }
}

}  // namespace orlavo::tools
