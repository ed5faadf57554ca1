#pragma once
// A SignLink wired to fakes under a ManualClock, shared by the link tests.
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/sign_link.h"
#include "signfeed/sign_protocol.h"
#include "support/fake_message_sink.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <string>
#include <vector>

namespace orlavo::testing {

struct SignLinkRig {
    explicit SignLinkRig(signfeed::LinkSelection selection = {true, true})
    {
        link.setLinkSelection(selection);
    }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    std::vector<std::string> trace;
    FakeUdpEndpoint udp{clock, &trace};
    FakeSerialPort serial{clock, &trace};
    FakeMessageSink sink;
    signfeed::SignLink link{clock, loop, udp, serial, sink};
};

// The 76-character frame of the Smart LED Display example.
inline std::string exampleFrame()
{
    return signfeed::buildSignFrame(
        signfeed::buildTextBody({"3", "1", true, signfeed::buildMessageSegment('C', "Hello - World")}));
}

// A frame of exactly `length` characters (length >= 35).
inline std::string frameOfLength(std::size_t length)
{
    return signfeed::buildSignFrame(std::string(length - 35, 'x'));
}

}  // namespace orlavo::testing
