#include "headless_program.h"

#include "platform/code_page.h"

#include <cstdio>

namespace orlavo::tools {

void StatusPrinter::fieldChanged(signfeed::Field field)
{
    if (!signfeed::MainWindowModel::isProgressText(field)) {
        return;
    }
    const std::string& text = m_window.control(field).text;
    if (!text.empty()) {
        // Status texts carry the server's reason phrase and addresses.
        std::fprintf(stderr, "%sorlavod: %s\n", m_prefix.c_str(), platform::escapeControls(text).c_str());
    }
}

}  // namespace orlavo::tools
