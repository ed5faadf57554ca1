#include "once_command.h"

#include "headless_program.h"
#include "sign_set.h"
#include "update_log.h"

#include "platform/code_page.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace orlavo::tools {

namespace {

// What went out on stdout; on stderr one line for an update that sent
// nothing (a link that refused the frame has said so through the sink).
class SentPrinter final : public signfeed::UpdateCycleObserver {
public:
    SentPrinter(const FeedProgram& program, std::string prefix) : m_program(program), m_prefix(std::move(prefix)) {}
    void updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result) override
    {
        sent = result.sent && !m_program.lastFrameFailed();
        if (sent) {
            // One byte per character goes out on the wire.
            std::printf("%ssent %zu characters, %ld items\n", m_prefix.c_str(), platform::utf8Length(result.frame),
                        result.itemsShown);
            std::fflush(stdout);
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
    void printNote(const std::string& text) const
    {
        std::fprintf(stderr, "%sorlavod: %s\n", m_prefix.c_str(), platform::escapeControls(text).c_str());
    }

    const FeedProgram& m_program;
    std::string m_prefix;
};

// One sign's part in the run: its observer and, when asked, its status texts.
struct OnceRun {
    OnceRun(SignSet::Sign& sign, bool verbose) : program(sign.program), printer(program.window(), sign.linePrefix),
                                                  observer(program, sign.linePrefix)
    {
        if (verbose) {
            program.window().setListener(&printer);
        }
        program.load();
        program.cycle().setObserver(&observer);
    }
    ~OnceRun()
    {
        program.cycle().setObserver(nullptr);
        program.window().setListener(nullptr);
    }
    OnceRun(const OnceRun&) = delete;
    OnceRun& operator=(const OnceRun&) = delete;

    FeedProgram& program;
    StatusPrinter printer;
    SentPrinter observer;
};

}  // namespace

int runOnce(const std::vector<SignEntry>& signs, const pellix::RSSCompLimits& limits, bool verbose)
{
    SignSet set(signs, limits);
    std::vector<std::unique_ptr<OnceRun>> runs;
    for (const auto& sign : set.signs()) {
        runs.push_back(std::make_unique<OnceRun>(*sign, verbose));
    }
    // Every sign at once: one slow feed or link never holds up another.
    for (const auto& run : runs) {
        run->program.cycle().requestUpdate();
    }
    // The feed control bounds every download and the link every frame, so this ends.
    set.runUntil([&runs] {
        return std::none_of(runs.begin(), runs.end(), [](const auto& run) { return run->program.cycle().busy(); });
    });
    const bool allSent = std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->observer.sent; });
    runs.clear();
    for (const auto& sign : set.signs()) {
        sign->program.cycle().stop();
        sign->program.window().close();
    }
    set.runUntil([&set] {
        return std::all_of(set.signs().begin(), set.signs().end(),
                           [](const auto& sign) { return sign->program.window().closed(); });
    });
    return allSent ? 0 : 1;
}

}  // namespace orlavo::tools
