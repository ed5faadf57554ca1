#pragma once
// One RSSComp on a poll loop with a manual clock and fake connectivity, plus
// a listener that records the events in order as short strings.
#include "pellix/rss_comp.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "support/fake_network.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orlavo::testing {

class EventRecorder final : public pellix::RSSCompListener {
public:
    std::vector<std::string> events;  // "connect host", "disconnect", "finish 200 OK"
    std::function<void(const std::string&)> onEvent;  // runs after recording

    void OnConnect(const std::string& sURL) override { record("connect " + sURL); }
    void OnFinish(std::int32_t code, const std::string& text) override
    {
        record("finish " + std::to_string(code) + " " + text);
    }
    void OnDisconnect() override { record("disconnect"); }
    [[nodiscard]] bool finished() const;
    [[nodiscard]] std::string last() const { return events.empty() ? std::string() : events.back(); }

private:
    void record(std::string event);
};

struct DownloadHarness {
    explicit DownloadHarness(const pellix::RSSCompLimits& limits = {}, platform::Resolver* resolver = nullptr,
                             platform::TcpConnector* connector = nullptr);

    // Runs the loop until pred holds; waits only for socket readiness, with a
    // guard so a broken test fails instead of hanging.
    bool pumpUntil(const std::function<bool()>& pred);
    bool pumpUntilFinished() { return pumpUntil([this] { return events.finished(); }); }
    // One loop round that waits for whatever the server just sent.
    void pumpOnce() { loop.runOnce(1000); }
    // RequestFile, its text kept in retVal.
    std::int32_t request(const std::string& url) { return comp->RequestFile(url, retVal); }
    // The request went out and the download finished.
    bool fetch(const std::string& url) { return request(url) == 0 && pumpUntilFinished(); }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    FakeConnectivity connectivity;
    EventRecorder events;
    std::unique_ptr<pellix::RSSComp> comp;
    std::string retVal;
};

}  // namespace orlavo::testing
