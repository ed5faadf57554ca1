// The demo's own parts: the loopback guard, the web server and the sign.
// Real sockets on 127.0.0.1 / 127.0.0.2 only.
#include "demo_feed_server.h"
#include "demo_sign.h"
#include "loopback_only_udp.h"

#include "platform/clock.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "support/fake_udp_endpoint.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

namespace orlavo::tools {
namespace {

TEST(LoopbackOnlyUdp, RefusesEveryRemoteOutsideLoopbackAndBindsToLoopback)
{
    platform::ManualClock clock;
    testing::FakeUdpEndpoint inner(clock);
    LoopbackOnlyUdp guard(inner);
    // Nothing goes out before a loopback remote is set: not even the default broadcast.
    EXPECT_TRUE(guard.send("x"));
    ASSERT_FALSE(guard.bind("", 0)) << "any address binds to loopback";
    for (const char* host : {"255.255.255.255", "10.0.0.1", "192.168.1.20", "8.8.8.8", "localhost", "sign.example",
                             "", "::ffff:10.0.0.1"}) {
        EXPECT_TRUE(guard.setRemote(host, 16000)) << host;
        EXPECT_TRUE(guard.send("x")) << host;
    }
    EXPECT_TRUE(inner.sent().empty());

    // A refused change after an accepted one stops sending too.
    ASSERT_FALSE(guard.setRemote("127.0.0.2", 16000));
    EXPECT_FALSE(guard.send("ok"));
    EXPECT_TRUE(guard.setRemote("255.255.255.255", 16000));
    EXPECT_TRUE(guard.send("no"));
    ASSERT_EQ(inner.sent().size(), 1U);
    EXPECT_EQ(inner.sent()[0].bytes, "ok");
    EXPECT_EQ(inner.sent()[0].host, "127.0.0.2");
}

// Runs the loop until done() or about two seconds of polling have passed.
bool pumpUntil(platform::PollEventLoop& loop, const std::function<bool()>& done)
{
    for (int i = 0; i < 200 && !done(); ++i) {
        loop.runOnce(10);
    }
    return done();
}

class LoopbackClient {
public:
    explicit LoopbackClient(int port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        (void)::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~LoopbackClient() { ::close(m_fd); }
    void send(const std::string& bytes)
    {
        // Loopback connects at once; a small request fits the socket buffer.
        ASSERT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // Reads what is there; true once the server closed the connection.
    bool readSome()
    {
        char buffer[4096];
        for (;;) {
            ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            return n == 0 || (n < 0 && errno != EAGAIN);
        }
    }
    std::string received;

private:
    int m_fd = -1;
};

class DemoServerTest : public ::testing::Test {
protected:
    platform::SystemClock clock;
    platform::PollEventLoop loop{clock};
};

TEST_F(DemoServerTest, AnswersAGetWithTheBodyOtherMethodsWith405AndDropsOversizedRequests)
{
    DemoFeedServer server(loop, "<rss/>");
    ASSERT_FALSE(server.listen());
    const std::string type = "\r\nContent-Type: application/rss+xml; charset=UTF-8\r\nContent-Length: ";
    struct Row {
        std::string request;
        std::string response;  // then the server closes the connection
        int served;            // requests served so far
    } rows[] = {
        {"GET /demo_feed.xml HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n",
         "HTTP/1.0 200 OK" + type + "6\r\nConnection: close\r\n\r\n<rss/>", 1},
        {"POST / HTTP/1.0\r\n\r\n", "HTTP/1.0 405 Method Not Allowed" + type + "0\r\nConnection: close\r\n\r\n", 2},
        {"GET /" + std::string(9000, 'a'), "", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request.substr(0, 20));
        LoopbackClient client(server.port());
        client.send(row.request);
        ASSERT_TRUE(pumpUntil(loop, [&] { return client.readSome(); }));
        EXPECT_EQ(client.received, row.response);
        EXPECT_EQ(server.requestsServed(), row.served);
    }
}

TEST_F(DemoServerTest, SignShowsAFrameSentToIt)
{
    DemoSign sign(loop);
    ASSERT_FALSE(sign.listen("127.0.0.1"));
    platform::PosixUdpEndpoint sender(loop);
    ASSERT_FALSE(sender.bind("127.0.0.1", 0));
    ASSERT_FALSE(sender.setRemote("127.0.0.1", sign.port()));
    ASSERT_FALSE(sender.send("~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCHello | ~03FFFF~04"));
    ASSERT_TRUE(pumpUntil(loop, [&] { return !sign.shown().empty(); }));
    EXPECT_EQ(sign.shown()[0].rfind("MESSAGE ", 0), 0U);
    EXPECT_NE(sign.shown()[0].find("Hello"), std::string::npos);
    EXPECT_TRUE(sign.errors().empty());
}

}  // namespace
}  // namespace orlavo::tools
