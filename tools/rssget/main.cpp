// rssget: one download with the feed library's control, for scripts and tests.
#include "options.h"

#include <pellix/finish_text.h>
#include <pellix/rss_comp.h>
#include "platform/clock.h"
#include "platform/connectivity.h"
#include "platform/poll_event_loop.h"
#include "platform/terminal.h"

#include <cstdio>
#include <optional>
#include <string>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr std::int64_t kProgressEveryMs = 250;

class FinishWaiter final : public pellix::RSSCompListener {
public:
    std::optional<std::int32_t> status;
    std::string text;

    void OnConnect(const std::string&) override {}
    void OnDisconnect() override {}
    void OnFinish(std::int32_t code, const std::string& message) override
    {
        status = code;
        text = message;
    }
};

// Draws the byte count on stderr while a download runs, only on a terminal.
void startProgress(orlavo::platform::EventLoop& loop, const pellix::RSSComp& comp, bool& drawn)
{
    if (!orlavo::platform::isTerminal(2)) {
        return;
    }
    loop.startRepeatingTimer(kProgressEveryMs, [&comp, &drawn] {
        std::fprintf(stderr, "\r%d bytes", comp.CurSize());
        drawn = true;
    });
}

int writeBody(pellix::RSSComp& comp, const rssget::Options& options)
{
    const std::int32_t code = options.binary ? comp.WriteBinaryFile(options.outputPath, true)
                                             : comp.WriteTextFile(options.outputPath, true);
    if (code == pellix::toInt(pellix::ResultCode::Ok)) {
        return kExitOk;
    }
    std::string reason = pellix::resultText(static_cast<pellix::ResultCode>(code));
    if (!comp.LastWriteError().empty()) {
        reason += " " + comp.LastWriteError();
    }
    std::fprintf(stderr, "rssget: %s: %s\n", options.outputPath.c_str(), reason.c_str());
    return code == pellix::toInt(pellix::ResultCode::WriteFailed) ? kExitUsage : kExitFailed;
}

int download(const rssget::Options& options)
{
    orlavo::platform::SystemClock clock;
    orlavo::platform::PollEventLoop loop(clock);
    orlavo::platform::SystemConnectivity connectivity;
    pellix::RSSComp comp(loop, clock, connectivity, options.limits);
    FinishWaiter waiter;
    comp.setListener(&waiter);
    comp.FollowRedirects(options.followRedirects);
    if (!options.caFile.empty()) {
        comp.CAFile(options.caFile);
    }

    std::string retVal;
    const std::int32_t result = comp.RequestFile(options.url, retVal);
    bool progressDrawn = false;
    if (result == 0) {
        startProgress(loop, comp, progressDrawn);
        // Bounded: the control's idle and total timeouts always end a download.
        while (!waiter.status) {
            loop.runOnce(-1);
        }
    }
    if (progressDrawn) {
        std::fputc('\n', stderr);
    }
    if (comp.FinalURL() != options.url && !comp.FinalURL().empty()) {
        std::fprintf(stderr, "rssget: redirected to %s%s\n", comp.FinalURL().c_str(),
                     comp.MovedURL().empty() ? "" : " (moved permanently)");
    }
    if (const std::string charset = comp.CharsetFallback(); !charset.empty()) {
        std::fprintf(stderr, "rssget: %s\n", pellix::DescribeCharsetFallback(charset).c_str());
    }
    const std::string status = waiter.status ? std::to_string(*waiter.status) : "none";
    std::printf("result=%d status=%s bytes=%d\n", result, status.c_str(), comp.CurSize());
    std::fflush(stdout);
    if (result != 0) {
        std::fprintf(stderr, "rssget: %s\n", retVal.c_str());
        return kExitFailed;
    }
    const bool success = waiter.status && *waiter.status >= 200 && *waiter.status <= 299;
    // The body is written whatever the status (an error page is a body too);
    // --fail keeps the file away unless the status is 2xx.
    const bool write = !options.outputPath.empty() && (success || !options.failUnlessOk);
    if (!success) {
        const std::string what = pellix::DescribeFinish(waiter.status.value_or(-1), waiter.text);
        std::fprintf(stderr, "rssget: %s%s%s\n", *waiter.status > 0 ? "download finished with " : "download failed: ",
                     what.c_str(), options.outputPath.empty() || write ? "" : "; the file was not written (--fail)");
    }
    const int written = write ? writeBody(comp, options) : kExitOk;
    if (written == kExitUsage) {
        return kExitUsage;
    }
    return success ? written : kExitFailed;
}

}  // namespace

int main(int argc, char** argv)
{
    const rssget::ParsedOptions parsed = rssget::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "rssget: %s\n%s", parsed.error.c_str(), rssget::usageText());
        return kExitUsage;
    }
    if (parsed.options->help) {
        std::fputs(rssget::usageText(), stdout);
        return kExitOk;
    }
    if (parsed.options->version) {
        std::printf("rssget %s (%s)\n", ORLAVO_VERSION, pellix::RSSComp::UserAgent().c_str());
        return kExitOk;
    }
    return download(*parsed.options);
}
