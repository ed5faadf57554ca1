// Drives the whole download state machine with a scripted server: arbitrary
// bytes split at arbitrary points, would-block reads, resets, early closes,
// silences, slow request sends and the host closing the control. No socket is
// opened; the loop and the connection are stand-ins that do what the script
// says. Checks what must hold for any server:
// - events come in order: OnConnect, then OnDisconnect, then OnFinish, once;
// - the body never exceeds its limit and the timeouts always end a download;
// - only the request is sent;
// - a download that ran without errors or waits ends exactly as the same
//   bytes delivered in one piece do: same status, text and body.
//
// Input: one byte of limits and send behaviour, then steps (see readScript).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pellix/rss_comp.h"
#include "platform/manual_clock.h"
#include "scripted_download.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace orlavo::platform;
using namespace orlavo::testing;

struct Config {
    pellix::RSSCompLimits limits;
    SendMode sendMode = SendMode::Whole;
};

Config readConfig(std::uint8_t byte)
{
    static constexpr std::int64_t kHeaderLimits[] = {16, 64, 300, 64 * 1024};
    static constexpr std::int64_t kBodyLimits[] = {0, 10, 1000, 64LL * 1024 * 1024};
    Config config;
    config.limits.maxHeaderBytes = kHeaderLimits[byte & 3];
    config.limits.maxBodyBytes = kBodyLimits[(byte >> 2) & 3];
    config.sendMode = static_cast<SendMode>((byte >> 4) & 3);
    if (byte & 0x40) {
        config.limits.idleTimeoutMs = 1000;
        config.limits.totalTimeoutMs = 3000;
    }
    return config;
}

// Step bytes: op % 8 with 0-2 data (a length byte and that many bytes), 3 a
// read that would block, 4 the socket turning writable, 5 a wait of 100 ms
// times the next byte, 6 a reset, 7 a close by the server (next byte even) or
// by the host (odd).
std::vector<Step> readScript(std::string_view in)
{
    std::vector<Step> steps;
    auto next = [&in]() -> std::uint8_t {
        if (in.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
        return byte;
    };
    while (!in.empty()) {
        const std::uint8_t op = next() % 8;
        if (op <= 2) {
            const std::size_t length = std::min<std::size_t>(next() + 1u, in.size());
            steps.push_back({StepKind::Data, std::string(in.substr(0, length))});
            in.remove_prefix(length);
        } else if (op == 5) {
            steps.push_back({StepKind::Wait, {}, 100 * static_cast<std::int64_t>(next())});
        } else if (op == 7) {
            steps.push_back({next() % 2 == 0 ? StepKind::Close : StepKind::HostClose, {}});
        } else {
            static constexpr StepKind kOthers[] = {StepKind::WouldBlock, StepKind::Writable, StepKind::Wait,
                                                   StepKind::Reset};
            steps.push_back({kOthers[op - 3], {}});
        }
    }
    return steps;
}

struct Outcome {
    std::vector<std::string> events;  // "connect", "disconnect", "finish"
    std::int32_t code = 0;
    std::string text;
    std::string body;
    bool plain = true;  // no reset, no host close, no wait that a timeout could see
};

class Recorder final : public pellix::RSSCompListener {
public:
    explicit Recorder(Outcome& outcome) : m_outcome(outcome) {}
    void OnConnect(const std::string& host) override
    {
        check(host == "127.0.0.1", "OnConnect names another host");
        m_outcome.events.push_back("connect");
    }
    void OnDisconnect() override { m_outcome.events.push_back("disconnect"); }
    void OnFinish(std::int32_t code, const std::string& text) override
    {
        m_outcome.events.push_back("finish");
        m_outcome.code = code;
        m_outcome.text = text;
    }

private:
    Outcome& m_outcome;
};

struct Run {
    explicit Run(const Config& config) : network(config.sendMode), outcome(), recorder(outcome)
    {
        comp = std::make_unique<pellix::RSSComp>(
            pellix::RSSCompServices{loop, clock, network, &network, &network}, config.limits);
        comp->setListener(&recorder);
    }
    [[nodiscard]] bool finished() const { return !outcome.events.empty() && outcome.events.back() == "finish"; }

    ManualClock clock;
    ScriptLoop loop{clock};
    ScriptNetwork network;
    Outcome outcome;
    Recorder recorder;
    std::unique_ptr<pellix::RSSComp> comp;
};

void play(Run& run, const Step& step, const Config& config, std::int64_t& lastActivityMs)
{
    Wire& wire = *run.network.wire;
    switch (step.kind) {
    case StepKind::Data:
    case StepKind::Reset:
    case StepKind::Close:
        wire.incoming.push_back(step);
        run.loop.signal(EventLoop::kReadable);
        lastActivityMs = run.clock.nowMs();
        break;
    case StepKind::WouldBlock:
        run.loop.signal(EventLoop::kReadable);
        break;
    case StepKind::Writable:
        if (run.loop.signal(EventLoop::kWritable)) {
            lastActivityMs = run.clock.nowMs();
        }
        break;
    case StepKind::Wait:
        run.clock.advance(step.ms);
        run.loop.runPending();
        break;
    case StepKind::HostClose:
        run.comp->CloseComm();
        break;
    }
    const std::int64_t now = run.clock.nowMs();
    if (now >= config.limits.totalTimeoutMs || now - lastActivityMs >= config.limits.idleTimeoutMs) {
        check(!run.loop.watching(), "a download outlived its timeout");
    }
}

Outcome download(const Config& config, const std::vector<Step>& steps)
{
    Run run(config);
    std::string retVal;
    const std::int32_t result = run.comp->RequestFile("http://127.0.0.1/feed.xml", retVal);
    check(result == (config.sendMode == SendMode::Fails ? 99 : 0), "the request did not go out");
    check(run.outcome.events == std::vector<std::string>{"connect"}, "OnConnect missing before the download");
    std::int64_t lastActivityMs = 0;
    for (const Step& step : steps) {
        run.outcome.plain = run.outcome.plain && step.kind != StepKind::Reset && step.kind != StepKind::HostClose;
        if (step.kind == StepKind::Wait && run.loop.watching()) {
            run.outcome.plain = false;
        }
        play(run, step, config, lastActivityMs);
        check(run.comp->CurSize() <= config.limits.maxBodyBytes, "the body grew past its limit");
    }
    // The server closes at the end of every script.
    play(run, {StepKind::Close, {}}, config, lastActivityMs);
    check(!run.loop.watching(), "a download outlived the server's close");
    const std::vector<std::string>& events = run.outcome.events;
    const bool hostClosed = events.size() == 2 && events[1] == "disconnect";
    check(hostClosed || (events.size() == 3 && events[1] == "disconnect" && events[2] == "finish"),
          "events out of order, missing or repeated");
    const std::string request = "GET /feed.xml HTTP/1.0\r\nUser-Agent: " + pellix::RSSComp::UserAgent() +
                                "\r\nHost: 127.0.0.1\r\n\r\n";
    check(request.starts_with(run.network.wire->sent), "sent something other than the request");
    const std::string text = run.comp->CurFileString();
    // A declared character set (UTF-16, say) may make the text shorter than
    // the bytes, so the check is that the text is one function of the body.
    check(text == run.comp->CurFileString(), "the body text changed between two reads");
    std::int32_t items = 0;
    (void)run.comp->GetRSSFile(false, items);
    run.outcome.body = std::to_string(run.comp->CurSize()) + ":" + text;
    return run.outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 8192) {
        return 0;
    }
    const Config config = readConfig(data[0]);
    const std::vector<Step> steps = readScript(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    const Outcome split = download(config, steps);
    if (!split.plain) {
        return 0;
    }
    // The same bytes in one piece, up to the first close.
    Step whole{StepKind::Data, {}};
    for (const Step& step : steps) {
        if (step.kind == StepKind::Close) {
            break;
        }
        whole.bytes += step.bytes;
    }
    const Outcome reference = download(config, whole.bytes.empty() ? std::vector<Step>{} : std::vector<Step>{whole});
    check(split.code == reference.code && split.text == reference.text, "the outcome depends on how the bytes were split");
    if (split.code != pellix::toInt(pellix::ResultCode::BodyTooLarge)) {
        check(split.body == reference.body, "the body depends on how the bytes were split");
    }
    return 0;
}
