#pragma once
// The feed program on fakes: an in-memory settings file, the UDP and serial
// fakes, and a resolver and connector that reach no network (a download never
// connects). The composer runs on a feed text as a finished download would.
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/feed_program.h"
#include "support/fake_message_sink.h"
#include "support/fake_network.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <pellix/parse.h>

#include <string>

namespace orlavo::testing {

struct FakeProgram {
    explicit FakeProgram(const std::string& ini = {}, platform::Pacing pacing = platform::Pacing::Blocking)
        : settings(ini),
          program(signfeed::ProgramPorts{clock, loop, settings, udp, serial, connectivity, sink, &resolver, &connector},
                  0, {}, pacing)
    {
        program.load();
    }

    // The composer over xml, as after a download that ended with 200.
    signfeed::ComposeResult compose(const std::string& xml)
    {
        return program.composer().run(
            [&](bool strip, std::int32_t& n) {
                pellix::ParsedFeed parsed = pellix::ParseFeed(xml, strip);
                n = parsed.items;
                return parsed.file;
            },
            {true, 200, "OK"});
    }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings;
    FakeUdpEndpoint udp{clock};
    FakeSerialPort serial{clock};
    FakeMessageSink sink;
    FakeConnectivity connectivity;
    FakeResolver resolver;
    TimingOutConnector connector;
    signfeed::FeedProgram program;
};

// Counts the updates that ended, however they ended.
struct UpdateCounter final : signfeed::UpdateCycleObserver {
    void updateFinished(const signfeed::DownloadOutcome&, const signfeed::ComposeResult&) override { ++count; }
    void updateAbandoned(const std::string&) override { ++count; }
    int count = 0;
};

}  // namespace orlavo::testing
