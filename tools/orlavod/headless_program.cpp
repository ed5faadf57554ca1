#include "headless_program.h"

#include <cstdio>

namespace orlavo::tools {

void StatusPrinter::fieldChanged(signfeed::Field field)
{
    if (field != signfeed::Field::TInfo && field != signfeed::Field::Status) {
        return;
    }
    const std::string& text = m_window.control(field).text;
    if (!text.empty()) {
        std::fprintf(stderr, "orlavod: %s\n", text.c_str());
    }
}

}  // namespace orlavo::tools
