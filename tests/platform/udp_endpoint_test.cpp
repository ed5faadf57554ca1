#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

using namespace orlavo::platform;

namespace {

struct UdpEndpointTest : ::testing::Test {
    // Runs the loop until `done` or about two seconds of real polling pass; the
    // loop's poll() does the waiting, nothing sleeps.
    void runUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 200 && !done(); ++i) {
            loop.runOnce(10);
        }
    }
    ManualClock clock;
    PollEventLoop loop{clock};
};

// Host names are resolved, and a sender that never bound binds itself.
TEST_F(UdpEndpointTest, SendsAndReceivesWholeDatagramsOnLoopback)
{
    PosixUdpEndpoint receiver(loop);
    PosixUdpEndpoint sender(loop);
    std::vector<std::string> received;
    std::vector<int> fromPorts;
    receiver.setReceiveHandler([&](std::string datagram, std::string from, int port) {
        received.push_back(datagram);
        EXPECT_EQ(from, "127.0.0.1");
        fromPorts.push_back(port);
    });
    ASSERT_FALSE(receiver.bind("localhost", 0));
    ASSERT_GT(receiver.localPort(), 0);
    ASSERT_FALSE(sender.setRemote("localhost", receiver.localPort()));
    EXPECT_FALSE(sender.isOpen());

    const std::string binary("a\0b\x04\xFF#", 6);
    ASSERT_FALSE(sender.send("first"));
    EXPECT_TRUE(sender.isOpen());
    ASSERT_FALSE(sender.send(binary));
    ASSERT_FALSE(sender.send(""));
    runUntil([&] { return received.size() == 3; });
    EXPECT_EQ(received, (std::vector<std::string>{"first", binary, ""}));
    EXPECT_EQ(fromPorts.at(0), sender.localPort());
}

TEST_F(UdpEndpointTest, BroadcastOptionAllowsTheLoopbackBroadcastAddress)
{
    PosixUdpEndpoint sender(loop);
    ASSERT_FALSE(sender.bind("127.0.0.1", 0));
    ASSERT_FALSE(sender.setRemote("127.255.255.255", 9));  // never a real interface
    auto error = sender.send("x");
    // Loopback has no broadcast flag on every system; what matters is that the
    // socket itself does not refuse with EACCES (no SO_BROADCAST).
    if (error) {
        EXPECT_NE(error->number, EACCES) << error->description;
    }
}

TEST_F(UdpEndpointTest, ReportsFailuresWithNumberAndText)
{
    PosixUdpEndpoint endpoint(loop);
    for (int port : {-1, 65536, 16000 + 65536}) {
        SCOPED_TRACE(port);
        auto bindError = endpoint.bind("127.0.0.1", port);
        ASSERT_TRUE(bindError);
        EXPECT_EQ(bindError->number, EINVAL);
        EXPECT_NE(bindError->description.find(std::to_string(port)), std::string::npos);
        EXPECT_TRUE(endpoint.setRemote("127.0.0.1", port));
    }
    EXPECT_FALSE(endpoint.isOpen());
    auto noRemote = endpoint.send("x");
    ASSERT_TRUE(noRemote);
    EXPECT_EQ(noRemote->number, EDESTADDRREQ);
    auto badLocal = endpoint.bind("192.0.2.1", 0);  // not an address of this machine
    ASSERT_TRUE(badLocal);
    EXPECT_EQ(badLocal->number, EADDRNOTAVAIL);
    for (int number : {ENOBUFS, EAGAIN, EWOULDBLOCK, EINTR}) {
        EXPECT_TRUE(isTransientSendError(number)) << number;
    }
    for (int number : {0, EACCES, ENETUNREACH, EHOSTUNREACH, EMSGSIZE, EIO}) {
        EXPECT_FALSE(isTransientSendError(number)) << number;
    }
}

TEST_F(UdpEndpointTest, SendOnlyEndpointIsNotWatched)
{
    PosixUdpEndpoint endpoint(loop);
    ASSERT_FALSE(endpoint.bind("127.0.0.1", 0));
    EXPECT_EQ(loop.watchCount(), 0u);
    endpoint.setReceiveHandler([](std::string, std::string, int) {});
    EXPECT_EQ(loop.watchCount(), 1u);
    endpoint.setReceiveHandler(nullptr);
    EXPECT_EQ(loop.watchCount(), 0u);
    endpoint.setReceiveHandler([](std::string, std::string, int) {});
    endpoint.close();
    EXPECT_EQ(loop.watchCount(), 0u);
}

// A send-only endpoint must never be the socket that unicast for another
// program on its port is delivered to, whichever of the two bound first.
TEST_F(UdpEndpointTest, SendOnlyEndpointNeverTakesDatagramsMeantForAListenerOnItsPort)
{
    for (bool listenerFirst : {true, false}) {
        SCOPED_TRACE(listenerFirst ? "listener bound first" : "sender bound first");
        PosixUdpEndpoint probe(loop);  // finds a free port for both
        ASSERT_FALSE(probe.bind("", 0));
        const int port = probe.localPort();
        probe.close();
        PosixUdpEndpoint listener(loop);
        PosixUdpEndpoint sender(loop);
        std::vector<std::string> received;
        std::vector<std::string> stolen;
        listener.setReceiveHandler([&](std::string datagram, std::string, int) { received.push_back(datagram); });
        sender.setReceiveHandler([&](std::string datagram, std::string, int) { stolen.push_back(datagram); });
        if (listenerFirst) {
            ASSERT_FALSE(listener.bind("", port));
            ASSERT_FALSE(sender.bindSendOnly("", port));
            EXPECT_NE(sender.localPort(), port);  // the port was taken: a free one instead
        } else {
            ASSERT_FALSE(sender.bindSendOnly("", port));
            EXPECT_EQ(sender.localPort(), port);
            ASSERT_FALSE(listener.bind("", port));  // a later listener still shares it
        }
        ASSERT_FALSE(sender.setRemote("127.0.0.1", port));
        ASSERT_FALSE(sender.send("frame"));
        runUntil([&] { return !received.empty(); });
        EXPECT_EQ(received, std::vector<std::string>{"frame"});
        EXPECT_TRUE(stolen.empty());
    }
}

}  // namespace
