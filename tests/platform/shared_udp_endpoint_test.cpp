#include "platform/manual_clock.h"
#include "platform/shared_udp_endpoint.h"
#include "support/fake_udp_endpoint.h"

#include <gtest/gtest.h>

using namespace orlavo::platform;
using orlavo::testing::FakeUdpEndpoint;

TEST(SharedUdpEndpoint, SignsShareOneBoundSocketEachWithItsOwnRemote)
{
    ManualClock clock;
    FakeUdpEndpoint socket(clock);
    UdpPortShare share(socket);
    SharedUdpEndpoint lobby(share);
    SharedUdpEndpoint canteen(share);
    ASSERT_FALSE(lobby.bindSendOnly("", 16000));
    ASSERT_FALSE(canteen.bindSendOnly("", 16000));
    EXPECT_EQ(socket.binds(), 1);
    EXPECT_EQ(canteen.localPort(), 16000);
    ASSERT_FALSE(lobby.setRemote("127.0.0.2", 16000));
    ASSERT_FALSE(canteen.setRemote("127.0.0.3", 16001));  // the socket now holds this one
    ASSERT_FALSE(lobby.send("a"));
    ASSERT_FALSE(canteen.send("b"));
    ASSERT_FALSE(lobby.send("c"));
    ASSERT_EQ(socket.sent().size(), 3u);
    EXPECT_EQ(socket.sent()[0].host + ":" + std::to_string(socket.sent()[0].port), "127.0.0.2:16000");
    EXPECT_EQ(socket.sent()[1].host + ":" + std::to_string(socket.sent()[1].port), "127.0.0.3:16001");
    EXPECT_EQ(socket.sent()[2].host, "127.0.0.2");

    // The socket stays bound while any sign holds it, and binds again after.
    lobby.close();
    EXPECT_TRUE(socket.isOpen());
    EXPECT_FALSE(lobby.isOpen());
    canteen.close();
    EXPECT_FALSE(socket.isOpen());
    ASSERT_FALSE(lobby.bindSendOnly("", 16000));
    EXPECT_EQ(socket.binds(), 2);
    SharedUdpEndpoint unaimed(share);
    EXPECT_TRUE(unaimed.send("d")) << "no remote of its own: never another sign's";
}
