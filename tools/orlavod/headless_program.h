#pragma once
// orlavod's view of the window: the status texts on stderr.
#include "signfeed/feed_program.h"
#include "signfeed/main_window_model.h"

#include <string>

namespace orlavo::tools {

using signfeed::FeedProgram;
using signfeed::ProgramPorts;

// Prints the status texts on stderr as the window would show them change.
class StatusPrinter final : public signfeed::MainWindowModel::Listener {
public:
    // prefix starts every line (see StderrSink).
    explicit StatusPrinter(const signfeed::MainWindowModel& window, std::string prefix = {})
        : m_window(window), m_prefix(std::move(prefix))
    {
    }
    void fieldChanged(signfeed::Field field) override;

private:
    const signfeed::MainWindowModel& m_window;
    std::string m_prefix;
};

}  // namespace orlavo::tools
