#pragma once
// orlavod's view of the window: the status texts on stderr.
#include "signfeed/feed_program.h"
#include "signfeed/main_window_model.h"

namespace orlavo::tools {

using signfeed::FeedProgram;
using signfeed::ProgramPorts;

// Prints the status texts on stderr as the window would show them change.
class StatusPrinter final : public signfeed::MainWindowModel::Listener {
public:
    explicit StatusPrinter(const signfeed::MainWindowModel& window) : m_window(window) {}
    void fieldChanged(signfeed::Field field) override;

private:
    const signfeed::MainWindowModel& m_window;
};

}  // namespace orlavo::tools
