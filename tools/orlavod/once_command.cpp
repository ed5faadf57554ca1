#include "once_command.h"

#include "headless_program.h"
#include "system_ports.h"
#include "update_log.h"

#include "platform/code_page.h"

#include <cstdio>

namespace orlavo::tools {

namespace {

void printNote(const std::string& text)
{
    std::fprintf(stderr, "orlavod: %s\n", platform::escapeControls(text).c_str());
}

// What went out on stdout; on stderr one line for an update that sent
// nothing (a link that refused the frame has said so through the sink).
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
            printNote("update " + m_program.lastUrl() + ": " + notSentText(outcome, result));
        }
        if (const std::string moved = movedText(m_program); !moved.empty()) {
            printNote(moved);
        }
    }
    void updateAbandoned(const std::string& why) override { printNote("update not started: " + why); }

    bool sent = false;

private:
    const FeedProgram& m_program;
};

}  // namespace

int runOnce(const std::filesystem::path& settingsPath, const pellix::RSSCompLimits& limits, bool verbose)
{
    SystemPorts system(settingsPath);
    FeedProgram program(system.ports(), signfeed::kSignUdpPort, limits);
    StatusPrinter printer(program.window());
    if (verbose) {
        program.window().setListener(&printer);
    }
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
