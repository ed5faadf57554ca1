#include "once_command.h"

#include "headless_program.h"
#include "system_ports.h"
#include "update_log.h"

#include "platform/code_page.h"

#include <cstdio>

namespace orlavo::tools {

namespace {

// Prints what went out on stdout; the status texts went to stderr already.
class SentPrinter final : public signfeed::UpdateCycleObserver {
public:
    explicit SentPrinter(const FeedProgram& program) : m_program(program) {}
    void updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result) override
    {
        sent = result.sent && !m_program.lastFrameFailed();
        if (sent) {
            // One byte per character goes out on the wire.
            std::printf("sent %zu characters, %ld items\n", platform::utf8Length(result.frame), result.itemsShown);
        } else if (!result.sent) {
            std::fprintf(stderr, "orlavod: %s\n", notSentText(outcome, result).c_str());
        }
    }
    void updateAbandoned(const std::string&) override {}

    bool sent = false;

private:
    const FeedProgram& m_program;
};

}  // namespace

int runOnce(const std::filesystem::path& settingsPath, const pellix::RSSCompLimits& limits)
{
    SystemPorts system(settingsPath);
    FeedProgram program(system.ports(), signfeed::kSignPort, limits);
    StatusPrinter printer(program.window());
    program.window().setListener(&printer);
    program.load();
    SentPrinter observer(program);
    program.cycle().setObserver(&observer);
    program.runOneUpdate();
    program.cycle().setObserver(nullptr);
    program.window().setListener(nullptr);
    program.close();
    return observer.sent ? 0 : 1;
}

}  // namespace orlavo::tools
