// Whole updates in virtual time: the window model, the real feed control
// talking to a scripted server on 127.0.0.1 (every host name resolves there),
// the composer and the sign link on fake endpoints.
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/feed_program.h"
#include "support/fake_message_sink.h"
#include "support/fake_network.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"
#include "support/scripted_server.h"

#include "pellix/rss_comp.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace orlavo;
using namespace orlavo::signfeed;
using Strings = std::vector<std::string>;

namespace {

constexpr std::int64_t kMinute = UpdateCycle::kTickMs;

// Which of the status labels are visible.
constexpr const char* kIdle = "Label17 Label18";  // "Last Update: " and the time
constexpr const char* kInitializing = "Label15";
constexpr const char* kUpdating = "Label14";

struct RigSetup {
    std::string period = "60";
    bool rotation = false;
    std::map<int, std::string> slots = {};  // slot -> path on the test server
    bool serial = false;
    bool clockPackets = false;
    std::string messages = "10";
    platform::TcpConnector* connector = nullptr;
    std::string extra = {};  // more lines, with their sections
};

std::string feedUrl(std::uint16_t port, const std::string& path)
{
    return "http://feeds.test:" + std::to_string(port) + path;
}

std::string settingsFor(const RigSetup& s, std::uint16_t port)
{
    std::string ini = "[CommMethod]\r\nETHERNET=1\r\nSERIAL=" + std::string(s.serial ? "1" : "0") +
                      "\r\nEMBEDDED=" + (s.clockPackets ? "1" : "0") +
                      "\r\nRGBDISPLAY=0\r\nREMOTEIP=127.0.0.1\r\nRSSLISTOP0=" + (s.rotation ? "False" : "True") +
                      "\r\nRSSLISTOP1=" + (s.rotation ? "True" : "False") + "\r\n[Parameters]\r\nUPDATEPERIOD=" +
                      s.period + "\r\nMESSAGES=" + s.messages + "\r\nSPEED=1\r\n[AccessPoint]\r\n";
    // Every slot is written, so no default feed stands in for an empty one.
    for (int slot = 0; slot < kFeedSlots; ++slot) {
        auto it = s.slots.find(slot);
        ini += "ACCESSPOINTIP" + std::to_string(slot) + "=" + (it == s.slots.end() ? "" : feedUrl(port, it->second)) +
               "\r\n";
    }
    return ini + s.extra;
}

std::string feedBody(const Strings& titles)
{
    std::string xml = "<rss><channel><title>T</title>";
    for (const auto& title : titles) {
        xml += "<item><title>" + title + "</title></item>";
    }
    return xml + "</channel></rss>";
}

std::string feedResponse(const Strings& titles)
{
    return "HTTP/1.0 200 OK\r\n\r\n" + feedBody(titles);
}

// The feed program on fakes and a scripted server. The cycle's timer starts at
// virtual time 0, so ticks fall on whole minutes.
struct CycleRig final : private MainWindowModel::Listener, private UpdateCycleObserver, private SignLinkObserver {
    explicit CycleRig(const RigSetup& s = {}) : setup(s)
    {
        resolver.answer = {platform::LookupStatus::Found, {*platform::parseIpLiteral("127.0.0.1")}, {}};
        window.setListener(this);
        program.load();
        program.link().setObserver(this);
        cycle.setObserver(this);
        cycle.start();
    }
    ~CycleRig() { window.setListener(nullptr); }
    CycleRig(const CycleRig&) = delete;
    CycleRig& operator=(const CycleRig&) = delete;

    std::string url(const std::string& path) const { return feedUrl(server.port(), path); }
    const std::string& text(Field field) const { return window.control(field).text; }

    std::string shownLabels() const
    {
        std::string shown;
        for (auto [field, name] : {std::pair{Field::Label13, "Label13"}, {Field::Label14, "Label14"},
                                   {Field::Label15, "Label15"}, {Field::Label17, "Label17"},
                                   {Field::Label18, "Label18"}}) {
            if (window.control(field).visible) {
                shown += (shown.empty() ? "" : " ") + std::string(name);
            }
        }
        return shown;
    }

    // Moves virtual time to each of the next n ticks and lets them run.
    void minutes(int n)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(kMinute - clock.nowMs() % kMinute);
            loop.runPending();
        }
    }

    // Runs the loop until pred holds; it waits only for the server's bytes.
    bool pumpUntil(const std::function<bool()>& pred)
    {
        for (int round = 0; round < 50 && !pred(); ++round) {
            loop.runOnce(100);
        }
        return pred();
    }

    // Clicks Request and answers the request it makes. Returns the requested path.
    std::string update(std::string_view response)
    {
        cycle.requestUpdate();
        return serve(response);
    }

    // Answers the request the control sent and waits until the update that
    // made it has ended. Returns the requested path.
    std::string serve(std::string_view response)
    {
        const std::size_t before = endings.size();
        if (!server.accept()) {
            ADD_FAILURE() << "no request came";
            return {};
        }
        const std::string request = server.readRequest();
        server.send(response);
        server.close();
        EXPECT_TRUE(pumpUntil([&] { return endings.size() > before; })) << "the update did not end";
        const std::size_t from = request.find(' ') + 1;
        return request.substr(from, request.find(' ', from) - from);
    }

    RigSetup setup;
    orlavo::testing::ScriptedServer server;
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings{settingsFor(setup, server.port())};
    Strings trace;  // "connect@<ms>" and "udp@<ms>", in order
    orlavo::testing::FakeUdpEndpoint udp{clock, &trace};
    orlavo::testing::FakeSerialPort serial{clock};
    orlavo::testing::FakeMessageSink sink;
    orlavo::testing::FakeConnectivity connectivity;
    orlavo::testing::FakeResolver resolver;
    // Long silence limits, so a tick that virtual time reaches while a
    // download runs does not time the download out.
    FeedProgram program{ProgramPorts{clock, loop, settings, udp, serial, connectivity, sink, &resolver, setup.connector},
                        0, pellix::RSSCompLimits{600'000, 3'600'000, 64LL * 1024 * 1024, 64LL * 1024}};
    MainWindowModel& window = program.window();
    UpdateCycle& cycle = program.cycle();

    Strings info;              // every text TInfo showed
    Strings endings;           // "sent", "nothing sent" or "abandoned" per update
    std::vector<long> endedInMinute;
    std::function<void(Field)> onField;  // runs after each change of a control
    std::function<void()> onFrame;       // runs before each unit of a frame goes out

private:
    void fieldChanged(Field field) override
    {
        if (field == Field::TInfo) {
            info.push_back(text(field));
            if (text(field).starts_with("Connected to ")) {
                trace.push_back("connect@" + std::to_string(clock.nowMs()));
            }
        }
        if (onField) {
            onField(field);
        }
    }
    void updateFinished(const DownloadOutcome&, const ComposeResult& result) override
    {
        end(result.sent ? "sent" : "nothing sent");
    }
    void updateAbandoned(const std::string&) override { end("abandoned"); }
    void end(const char* how)
    {
        endings.emplace_back(how);
        endedInMinute.push_back(static_cast<long>(clock.nowMs() / kMinute));
    }
    void frameProgress(int, int) override
    {
        if (onFrame) {
            onFrame();
        }
    }
    void frameFinished(const FrameReport&) override {}
};

}  // namespace

TEST(UpdateCycle, SuccessfulUpdateStepByStep)
{
    CycleRig rig({.slots = {{0, "/news"}}, .messages = "2"});
    EXPECT_EQ(rig.shownLabels(), "") << "no update has reached the sign yet";

    // Posted now, so it runs at the end of the update's one-second pause.
    bool paused = false;
    rig.loop.post([&] {
        paused = true;
        EXPECT_EQ(rig.clock.sleeps(), std::vector<std::int64_t>{1000});
        EXPECT_EQ(rig.shownLabels(), kInitializing);
        EXPECT_TRUE(rig.resolver.names.empty()) << "nothing is requested before the pause";
    });
    std::string infoWhenComposing;
    rig.onField = [&](Field field) {
        if (field == Field::Label13 && rig.window.control(field).visible) {
            infoWhenComposing = rig.text(Field::TInfo);
        }
    };
    std::string labelsWhenSending;
    rig.onFrame = [&] {
        labelsWhenSending = rig.shownLabels();
        EXPECT_FALSE(rig.window.control(Field::Command1).enabled);
    };

    rig.cycle.requestUpdate();
    EXPECT_TRUE(paused);
    EXPECT_EQ(rig.info, (Strings{"Connected to feeds.test", "Request Sent"}));
    EXPECT_EQ(rig.shownLabels(), kInitializing) << "unchanged while the download runs";
    EXPECT_TRUE(rig.cycle.busy());
    EXPECT_EQ(rig.cycle.lastUrl(), rig.url("/news"));

    EXPECT_EQ(rig.serve(feedResponse({"One", "Two"})), "/news");
    EXPECT_EQ(rig.info, (Strings{"Connected to feeds.test", "Request Sent",
                                 "Download complete. Server response: 200 - OK"}));
    EXPECT_EQ(infoWhenComposing, "Download complete. Server response: 200 - OK");
    EXPECT_EQ(rig.text(Field::TSize), std::to_string(feedBody({"One", "Two"}).size()));
    EXPECT_EQ(rig.text(Field::Trss2), feedBody({"One", "Two"}));
    EXPECT_EQ(labelsWhenSending, kUpdating);
    EXPECT_EQ(rig.udp.sentBytes(),
              Strings{"~00~00~00~00~00~01FF00~02A0C10ff00002359FFFF~FE3~FDCOne | ~FDFTwo | ~03FFFF~04"});
    EXPECT_EQ(rig.text(Field::Trss), "One \r\nTwo \r\n");
    EXPECT_EQ(rig.shownLabels(), kIdle);
    EXPECT_EQ(rig.text(Field::Label17), "Last Update: ");
    EXPECT_EQ(rig.text(Field::Label18), "12:00");
    EXPECT_EQ(rig.text(Field::Status), "");
    EXPECT_TRUE(rig.window.control(Field::Command1).enabled);
    EXPECT_EQ(rig.endings, Strings{"sent"});
    EXPECT_FALSE(rig.cycle.busy());

    // The next update starts from cleared status fields; the text keeps what the sign shows.
    rig.loop.post([&] {
        EXPECT_EQ(rig.text(Field::TInfo), "");
        EXPECT_EQ(rig.text(Field::TSize), "");
        EXPECT_EQ(rig.text(Field::Trss2), "");
        EXPECT_EQ(rig.text(Field::Trss), "One \r\nTwo \r\n");
    });
    EXPECT_EQ(rig.update(feedResponse({"Three"})), "/news");
    EXPECT_EQ(rig.udp.sent().size(), 2u);
}

TEST(UpdateCycle, RotationAsksForTheStoredSlotsInTurnAndKeepsItsPlaceOverARestart)
{
    // Slot 5 is too long to read back whole: its cut read would be another feed.
    CycleRig rig({.rotation = true,
                  .slots = {{0, "/zero"}, {3, "/three"}, {5, "/" + std::string(800, 'x')}, {7, "/seven"}}});
    const struct {
        const char* path;
        int nextIndex;
        std::function<void()> before = {};
    } steps[] = {
        {"/zero", 1},
        {"/three", 4},
        {"/seven", 8},
        {"/zero", 1},
        {"/three", 4,
         [&] {
             rig.window.load();  // a port choice runs the start-up sequence again
             rig.window.chooseFeedSlot(3);
             rig.window.editFeedText(rig.url("/three-edited"));  // not stored: no Enter
         }},
        {"/seven-stored", 8,
         [&] {
             rig.window.chooseFeedSlot(7);
             rig.window.editFeedText(rig.url("/seven-stored"));
             EXPECT_EQ(rig.window.feedKeyPress(13), 13);
         }},
        // The file is read at every update, not the list loaded at start-up.
        {"/zero-from-file", 1,
         [&] {
             ASSERT_FALSE(writeIni(rig.settings, section::kAccessPoint, "AccessPointIP0", rig.url("/zero-from-file")));
         }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.path);
        if (step.before) {
            step.before();
        }
        const std::size_t frames = rig.udp.sent().size();
        const std::string title = std::string("From ") + (step.path + 1);
        rig.cycle.requestUpdate();
        EXPECT_EQ(rig.cycle.lastUrl(), rig.url(step.path));
        EXPECT_EQ(rig.serve(feedResponse({title})), step.path);
        ASSERT_EQ(rig.udp.sent().size(), frames + 1);
        EXPECT_NE(rig.udp.sent().back().bytes.find(title), std::string::npos);
        EXPECT_EQ(rig.window.nextFeedSlot(), step.nextIndex);
    }
}

TEST(UpdateCycle, UpdateWithoutAUsableUrlEndsBeforeTheSignAndSaysWhy)
{
    struct Row {
        const char* label;
        RigSetup setup;
        std::string feedText;  // a path stands for that path on the test server
        std::int32_t code;     // 0: there is no URL, nothing is requested
        std::function<void(CycleRig&)> prepare = {};
    } rows[] = {
        // Slot 0 is stored, but the list's text is what counts.
        {"selected feed edited to empty", {.slots = {{0, "/zero"}}}, "", 0},
        {"all 26 slots empty in rotation", {.rotation = true}, "", 0},
        {"unsupported scheme", {}, "ftp://feeds.test/rss", 116},
        {"only blanks, requested as they are", {}, "   ", 114},
        {"connection refused", {}, feedUrl(orlavo::testing::unusedLoopbackPort(), "/rss"), 110},
        {"name not found", {}, "/rss", 112,
         [](CycleRig& rig) {
             rig.resolver.answer = {platform::LookupStatus::NotFound, {}, "Name or service not known"};
         }},
    };
    // A control connecting in the background reports the same failures from the loop.
    for (int run = 0; run < 2 * static_cast<int>(std::size(rows)); ++run) {
        const auto& row = rows[run / 2];
        const bool background = run % 2 == 1;
        SCOPED_TRACE(std::string(row.label) + (background ? " (background)" : ""));
        CycleRig rig(row.setup);
        rig.program.feed().ConnectInBackground(background);
        const auto resolverAnswer = rig.resolver.answer;
        if (row.prepare) {
            row.prepare(rig);
        }
        rig.window.editFeedText(row.feedText.starts_with("/") ? rig.url(row.feedText) : row.feedText);
        bool paused = false;
        rig.loop.post([&] {
            paused = true;
            EXPECT_EQ(rig.shownLabels(), kInitializing);
        });
        rig.cycle.requestUpdate();
        EXPECT_TRUE(rig.pumpUntil([&] { return !rig.endings.empty(); }));
        EXPECT_TRUE(paused);
        EXPECT_EQ(rig.clock.sleeps(), std::vector<std::int64_t>{1000});
        EXPECT_EQ(rig.shownLabels(), "") << "not left on \"Initializing Sign\"; nothing reached the sign yet";
        EXPECT_EQ(rig.text(Field::Label17), "Last Update: ");
        EXPECT_TRUE(rig.udp.sent().empty());
        EXPECT_EQ(rig.endings, Strings{"abandoned"});
        EXPECT_FALSE(rig.cycle.busy());
        EXPECT_EQ(rig.window.nextFeedSlot(), 0);
        if (row.code == 0) {
            EXPECT_TRUE(rig.resolver.names.empty()) << "nothing requested";
            EXPECT_TRUE(rig.info.empty());
            // Clicking Request on an empty slot is never silent.
            EXPECT_NE(rig.text(Field::Status).find("empty"), std::string::npos) << rig.text(Field::Status);
            continue;
        }
        const std::string prefix = "Error: " + std::to_string(row.code) + " - ";
        ASSERT_TRUE(rig.text(Field::TInfo).starts_with(prefix)) << rig.text(Field::TInfo);
        const std::string why = rig.text(Field::TInfo).substr(prefix.size());
        EXPECT_FALSE(why.empty());
        EXPECT_NE(rig.text(Field::Status).find(why), std::string::npos) << rig.text(Field::Status);
        EXPECT_NE(rig.text(Field::Status).find(std::to_string(row.code)), std::string::npos);

        // Nothing is left hanging: the next request goes through.
        rig.resolver.answer = resolverAnswer;
        rig.window.editFeedText(rig.url("/rss"));
        rig.cycle.requestUpdate();
        EXPECT_EQ(rig.text(Field::TInfo), "Request Sent");
        EXPECT_TRUE(!background || rig.pumpUntil([&] { return rig.text(Field::TInfo).starts_with("Connected to "); }));
        EXPECT_EQ(rig.serve(feedResponse({"back"})), "/rss");
        EXPECT_EQ(rig.endings, (Strings{"abandoned", "sent"}));
        EXPECT_EQ(rig.text(Field::Status), "");
    }
}

TEST(UpdateCycle, FailedDownloadLeavesTheSignAloneAndSaysWhy)
{
    struct Row {
        const char* label;
        std::string response;
        std::string info;  // TInfo after the download starts so
        const char* reason;
        int udpFailure = 0;  // every UDP send of the second update fails with it
        const char* ending = "nothing sent";
    } rows[] = {
        {"not found with a feed body", "HTTP/1.0 404 Not Found\r\n\r\n" + feedBody({"Old"}),
         "Download complete. Server response: 404 - Not Found", "404 Not Found"},
        {"no items", feedResponse({}), "Download complete. Server response: 200 - OK", "no items"},
        // A reset ends as a body cut short does, and garbage as an empty reply.
        {"body cut short", "HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n" + feedBody({"Half"}),
         "Download complete. Server response: -1 - ", "The connection closed after 78 of 4000 body bytes"},
        {"empty reply", "", "Download complete. Server response: 0 - ", "the server sent no HTTP response"},
        {"the frame does not reach the sign", feedResponse({"New"}), "Download complete. Server response: 200 - OK",
         "did not reach the sign (fake send failure 101)", 101, "sent"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CycleRig rig({.slots = {{0, "/feed"}}});
        EXPECT_EQ(rig.update(feedResponse({"Earlier"})), "/feed");
        ASSERT_EQ(rig.udp.sent().size(), 1u);
        rig.udp.failAlways(row.udpFailure);
        rig.cycle.requestUpdate();
        EXPECT_EQ(rig.serve(row.response), "/feed");
        const std::string& info = rig.text(Field::TInfo);
        ASSERT_TRUE(info.starts_with(row.info)) << info;
        EXPECT_EQ(rig.udp.sent().size(), 1u) << "the sign keeps the earlier messages";
        EXPECT_EQ(rig.shownLabels(), kIdle);
        EXPECT_EQ(rig.text(Field::Label17), "Last Update: ");
        EXPECT_EQ(rig.text(Field::Label18), "12:00") << "the time of the update that reached the sign";
        EXPECT_TRUE(rig.text(Field::Trss).starts_with("Earlier \r\n")) << "what the sign still shows";
        EXPECT_NE(rig.text(Field::Status).find(row.reason), std::string::npos) << rig.text(Field::Status);
        EXPECT_EQ(rig.endings, (Strings{"sent", row.ending}));
        EXPECT_FALSE(rig.cycle.busy());
    }
}

// The schedule tests update with an empty feed text: each update is then only
// its pause, and the minute it ended in is recorded.
TEST(UpdateCycle, PeriodDecidesWhichTicksUpdate)
{
    struct Row {
        const char* period;
        std::vector<long> minutes;  // the updates' minutes, of the first `runFor`
        int runFor = 6;
        int actAt = 0;  // the minute `act` runs in
        std::function<void(CycleRig&)> act = {};
    } rows[] = {
        {"1", {1, 2, 3, 4, 5, 6}},
        {"0", {1, 2, 3, 4, 5, 6}},
        {"-3", {1, 2, 3, 4, 5, 6}},
        {"1.5", {2, 4, 6}},
        {"2", {2, 4, 6}},
        {" 3 ", {3, 6}},
        {"4", {4}},
        // Above 255 without wrapping; the button works and leaves the schedule alone.
        {"300", {150, 300, 600}, 600, 150, [](CycleRig& rig) { rig.cycle.requestUpdate(); }},
        // The start-up sequence restarts the wait.
        {"2", {3}, 3, 1, [](CycleRig& rig) { rig.window.load(); }},
        // The service reads its edited settings file in this hook: the tick
        // that follows already runs on the new period.
        {"4", {1}, 1, 0,
         [](CycleRig& rig) { rig.cycle.setBeforeTick([&rig] { rig.window.editText(Field::Text5, "1"); }); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.period);
        CycleRig rig;
        rig.window.editText(Field::Text5, row.period);
        rig.minutes(row.actAt);
        if (row.act) {
            row.act(rig);
        }
        rig.minutes(row.runFor - row.actAt);
        EXPECT_EQ(rig.endedInMinute, row.minutes);
        EXPECT_EQ(rig.text(Field::Status).find("Automatic updates are off"), std::string::npos);
    }
}

TEST(UpdateCycle, PeriodThatIsNotANumberStopsAutomaticUpdatesAndSaysWhy)
{
    for (const char* period : {"abc", "", "12abc"}) {
        SCOPED_TRACE(period);
        CycleRig rig({.period = "1", .slots = {{0, "/feed"}}});
        rig.window.editText(Field::Text5, period);
        rig.minutes(3);
        EXPECT_TRUE(rig.clock.sleeps().empty());
        EXPECT_TRUE(rig.resolver.names.empty());
        EXPECT_NE(rig.text(Field::Status).find("Minutes Between Updates"), std::string::npos)
            << rig.text(Field::Status);

        EXPECT_EQ(rig.update(feedResponse({"manual"})), "/feed");
        EXPECT_EQ(rig.endings, Strings{"sent"});

        rig.minutes(1);
        EXPECT_NE(rig.text(Field::Status).find("Minutes Between Updates"), std::string::npos);
        rig.window.editText(Field::Text5, "60");
        rig.minutes(1);
        EXPECT_EQ(rig.text(Field::Status), "") << "no longer claims that updates are off";
        EXPECT_EQ(rig.endings, Strings{"sent"});
    }
}

TEST(UpdateCycle, SerialPortIsOpenedAndClosedOnceBeforeThePause)
{
    struct Row {
        const char* label;
        bool serial;
        bool leftOpen;
        int opens[2];  // counted in the pause of the first and the second update
        int closes[2];
        bool openInPause;
    } rows[] = {
        {"closed port", true, false, {1, 2}, {1, 2}, false},
        {"port left open before", true, true, {0, 1}, {1, 2}, false},
        {"serial off", false, true, {0, 0}, {0, 0}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CycleRig rig({.serial = row.serial});  // empty feed text: the update is the open, close and pause only
        if (row.leftOpen) {
            rig.serial.forceOpen();
        }
        for (int update = 0; update < 2; ++update) {
            rig.loop.post([&, update] {
                EXPECT_EQ(rig.serial.opens(), row.opens[update]);
                EXPECT_EQ(rig.serial.closes(), row.closes[update]);
                EXPECT_EQ(rig.serial.isOpen(), row.openInPause);
            });
            rig.cycle.requestUpdate();
        }
        EXPECT_EQ(rig.endings.size(), 2u);
        EXPECT_TRUE(rig.sink.messages().empty());
    }
}

TEST(UpdateCycle, SerialOpenFailureIsShownAndTheUpdateGoesOn)
{
    CycleRig rig({.slots = {{0, "/feed"}}, .serial = true});
    rig.serial.failOpen(EACCES);
    rig.loop.post([&] {
        ASSERT_EQ(rig.sink.messages().size(), 1u);
        EXPECT_NE(rig.sink.messages()[0].text.find("fake open failure"), std::string::npos);
    });
    rig.cycle.requestUpdate();
    EXPECT_EQ(rig.text(Field::TInfo), "Request Sent");
    EXPECT_EQ(rig.serve(feedResponse({"still over UDP"})), "/feed");
    EXPECT_EQ(rig.udp.sent().size(), 1u);
    EXPECT_EQ(rig.endings, Strings{"sent"});
}

TEST(UpdateCycle, ClicksAndTicksDuringAnUpdateRunOnceAfterIt)
{
    using Act = std::function<void(CycleRig&)>;
    const std::map<int, std::string> twoSlots = {{0, "/zero"}, {3, "/three"}};
    // Updates every minute in clock packets: a tick can fall into a download or into the packet waits.
    const RigSetup packets{.period = "1", .rotation = true, .slots = twoSlots, .clockPackets = true};
    const Act click = [](CycleRig& rig) { rig.cycle.requestUpdate(); };
    struct Row {
        const char* label;
        RigSetup setup;
        Act before;  // before the first click
        Act after;   // after it, while its download runs
        Strings trace;
    } rows[] = {
        {"two clicks in the pause make one more update", {.rotation = true, .slots = twoSlots},
         [&](CycleRig& rig) {
             rig.loop.post([r = &rig] { r->cycle.requestUpdate(); });
             rig.loop.post([r = &rig] { r->cycle.requestUpdate(); });
         },
         [](CycleRig&) {}, {"connect@1000", "udp@1000", "connect@3000", "udp@3000"}},
        {"a tick and a click during the download", packets, [](CycleRig&) {},
         [&](CycleRig& rig) {
             rig.minutes(1);
             click(rig);
         },
         {"connect@1000", "udp@60000", "udp@61000", "udp@62000", "connect@63000", "udp@63000", "udp@64000",
          "udp@65000"}},
        // Packets at 58.5 s, 59.5 s and 60.5 s: the tick at 60 s runs in the wait before the last one.
        {"a tick during the frame's waits", packets, [](CycleRig& rig) { rig.clock.advance(kMinute - 2500); },
         [](CycleRig&) {},
         {"connect@58500", "udp@58500", "udp@59500", "udp@60500", "connect@61500", "udp@61500", "udp@62500",
          "udp@63500"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CycleRig rig(row.setup);
        row.before(rig);
        click(rig);
        row.after(rig);
        EXPECT_EQ(rig.resolver.names.size(), 1u) << "one download at a time";
        EXPECT_EQ(rig.text(Field::TInfo), "Request Sent");
        EXPECT_EQ(rig.serve(feedResponse({"first"})), "/zero");
        ASSERT_TRUE(rig.pumpUntil([&] { return rig.resolver.names.size() == 2; }));
        EXPECT_EQ(rig.serve(feedResponse({"second"})), "/three");
        EXPECT_FALSE(rig.cycle.busy());
        rig.loop.runPending();
        EXPECT_EQ(rig.resolver.names.size(), 2u) << "no third update";
        EXPECT_EQ(rig.trace, row.trace);
        EXPECT_EQ(rig.endings, (Strings{"sent", "sent"}));
    }
}

TEST(UpdateCycle, RequestThatFailedToSendCannotEndALaterUpdate)
{
    orlavo::testing::SendFailingConnector connector(EPIPE, 1);
    CycleRig rig({.rotation = true, .slots = {{0, "/zero"}, {3, "/three"}}, .connector = &connector});
    rig.loop.post([&] { rig.cycle.requestUpdate(); });
    rig.cycle.requestUpdate();
    EXPECT_TRUE(rig.text(Field::TInfo).starts_with("Error: 99 - ")) << rig.text(Field::TInfo);
    EXPECT_EQ(rig.shownLabels(), "") << "no update reached the sign yet";
    // The failed request's connection ends while the next update pauses.
    ASSERT_TRUE(rig.server.accept());
    rig.server.close();
    rig.loop.runPending();
    EXPECT_EQ(rig.text(Field::TInfo), "Request Sent");
    EXPECT_EQ(rig.endings, Strings{"abandoned"});
    EXPECT_TRUE(rig.cycle.busy());
    EXPECT_EQ(rig.shownLabels(), kInitializing);
    EXPECT_EQ(rig.serve(feedResponse({"second"})), "/three");
    EXPECT_EQ(rig.endings, (Strings{"abandoned", "sent"}));
}

TEST(UpdateCycle, APendingRequestEndsWithTheCycle)
{
    CycleRig rig({.rotation = true});  // every slot empty: the update ends without the network
    auto cycle = std::make_unique<UpdateCycle>(rig.window, rig.program.feed(), rig.program.composer(), rig.clock,
                                               rig.loop);
    rig.loop.post([&] { cycle->requestUpdate(); });  // a click during the pause
    cycle->requestUpdate();
    EXPECT_FALSE(cycle->busy());
    // The remembered click is posted to the loop; the cycle goes before it runs.
    cycle.reset();
    rig.loop.runPending();
    EXPECT_EQ(rig.clock.sleeps(), std::vector<std::int64_t>{1000}) << "no second update ran";
}

// One bad answer must not lose a stored feed: a slot takes the new address
// only when the move ended in a feed at an address that reads back as written.
TEST(UpdateCycle, AMovedFeedIsFollowedAndStoredOnlyWhenTheMoveEndsInAFeedAtAStorableAddress)
{
    const auto movedTo = [](const std::string& location) {
        return "HTTP/1.0 301 Moved Permanently\r\nLocation: " + location + "\r\n\r\n";
    };
    const std::string feed = feedResponse({"moved"});
    const std::string dead = "http://127.0.0.1:" + std::to_string(orlavo::testing::unusedLoopbackPort()) + "/new";
    const std::string noFeed = "the stored address was kept: the move did not end in a feed";
    // PORT stands for the server's port.
    const std::string followed = "Download complete. Server response: 200 - Moved PermanentlyLocation: /new; OK - "
                                 "the feed has moved to http://feeds.test:PORT/new";
    struct Row {
        const char* label;
        Strings answers;   // to /old, then to each hop
        std::string slot;  // the path slot 0 holds afterwards
        std::string note;  // part of the status
        std::string info = {};  // TInfo at the end, when not empty
        bool rewrite = true;             // RewriteMovedFeeds=1
        const char* follow = nullptr;    // FollowRedirects; nullptr: the key is absent
    } rows[] = {
        {"followed, not rewritten", {movedTo("/new"), feed}, "/old", "", followed, false},
        {"FollowRedirects=0 keeps the redirect", {movedTo("/new")}, "/old", "",
         "Download complete. Server response: 301 - Moved PermanentlyLocation: /new", false, "0"},
        {"to a feed", {movedTo("/new"), feed}, "/new", "; rewritten: AccessPointIP0.", followed},
        {"to a file", {movedTo("file:///etc/passwd")}, "/old", "kept: it is not an http:// or https:// address"},
        {"to ftp", {movedTo("ftp://feeds.test/new")}, "/old", "kept: it is not an http:// or https:// address"},
        {"to a dead port", {movedTo(dead)}, "/old", noFeed},
        {"more than 5 redirects", Strings(6, movedTo("/again")), "/old", noFeed},
        {"to a page that is no feed", {movedTo("/new"), "HTTP/1.0 200 OK\r\n\r\n<html></html>"}, "/old", noFeed},
        {"to a 404", {movedTo("/new"), "HTTP/1.0 404 Not Found\r\n\r\n" + feedBody({"x"})}, "/old", noFeed},
        {"control bytes", {movedTo("/new\x01")}, "/old", "the Location holds a control character"},
        {"too long to read back", {movedTo("/" + std::string(800, 'n')), feed}, "/old", "longer than the 749"},
        {"~13 reads back as a line break", {movedTo("/a~13b"), feed}, "/old", "reads back as a line break"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CycleRig rig({.slots = {{0, "/old"}}});
        if (row.follow != nullptr) {
            ASSERT_FALSE(writeIni(rig.settings, section::kParameters, "FollowRedirects", row.follow));
        }
        if (row.rewrite) {
            ASSERT_FALSE(writeIni(rig.settings, section::kParameters, "RewriteMovedFeeds", "1"));
        }
        rig.cycle.requestUpdate();
        for (const std::string& answer : row.answers) {
            if (&answer != &row.answers.front()) {  // the next hop connects while the loop runs
                ASSERT_TRUE(rig.pumpUntil([&] { return !rig.info.empty(); }));
            }
            ASSERT_TRUE(rig.server.accept());
            (void)rig.server.readRequest();
            rig.server.send(answer);
            rig.server.close();
            rig.window.setText(Field::TInfo, "");  // so that the next hop's connect shows
            rig.info.clear();
        }
        ASSERT_TRUE(rig.pumpUntil([&] { return !rig.endings.empty(); }));
        const std::string slot = rig.url(row.slot);
        EXPECT_EQ(readIni(rig.settings, section::kAccessPoint, "AccessPointIP0", ""), slot);
        EXPECT_NE(rig.text(Field::Status).find(row.note), std::string::npos) << rig.text(Field::Status);
        std::string info = row.info;
        if (auto at = info.find("PORT"); at != std::string::npos) {
            info.replace(at, 4, std::to_string(rig.server.port()));
        }
        if (!info.empty()) {
            EXPECT_EQ(rig.text(Field::TInfo), info);
        }
        // The list shows the stored address now, and the next update asks for it.
        EXPECT_EQ(rig.window.control(Field::AccessPointIP).entries.at(0), slot);
        EXPECT_EQ(rig.text(Field::AccessPointIP), slot);
    }
}

TEST(UpdateCycle, AnsweredUpdateNamesWhatTheServerSent)
{
    std::string fresh = feedResponse({"Same"});
    fresh.insert(fresh.find("\r\n") + 2, "ETag: \"v1\"\r\n");
    struct Row {
        const char* label;
        Strings answers;  // one update each
        std::string info;
    } rows[] = {
        {"an unchanged feed shows its remembered headlines again", {fresh, "HTTP/1.0 304 Not Modified\r\n\r\n"},
         "Download complete. Server response: 304 - Not Modified"},
        {"an unknown character set is read by the fallback and named",
         {"HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=x-foo\r\n\r\n" + feedBody({"Caf\xE9"})},
         "Download complete. Server response: 200 - OK - unknown character set \"x-foo\": read as UTF-8 with "
         "windows-1252 fallback"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        CycleRig rig({.slots = {{0, "/news"}}});
        for (const std::string& answer : row.answers) {
            EXPECT_EQ(rig.update(answer), "/news");
        }
        EXPECT_EQ(rig.endings, Strings(row.answers.size(), "sent"));
        EXPECT_EQ(rig.text(Field::TInfo), row.info);
    }
}

TEST(UpdateCycle, FailingFeedSaysSinceWhenTheHeadlinesAreOldUntilAnUpdateSucceeds)
{
    CycleRig rig({.slots = {{0, "/feed"}}});
    const std::string notFound = "HTTP/1.0 404 Not Found\r\n\r\n";
    auto statusEnd = [&rig] {
        const std::string& status = rig.text(Field::Status);
        const std::size_t cut = status.rfind(". ");
        return cut == std::string::npos ? status : status.substr(cut + 2);
    };
    // The clock starts at 12:00; each step moves it five minutes on.
    struct Step {
        const char* label;
        std::function<void()> update;
        std::string stale;       // staleHeadlines(); the status ends with it as a sentence
        const char* lastUpdate;  // the time shown, of the last update that reached the sign; "": hidden
    };
    const Step steps[] = {
        {"failure before any success", [&] { rig.update(notFound); },
         "no headlines shown yet, the feed has failed since 12:00", ""},
        {"success clears it", [&] { rig.update(feedResponse({"Fresh"})); }, "", "12:05"},
        {"failure", [&] { rig.update(notFound); }, "showing headlines from 12:05, the feed has failed since 12:10",
         "12:05"},
        {"a refused request is a failure too, since stays",
         [&] {
             rig.window.editFeedText(feedUrl(orlavo::testing::unusedLoopbackPort(), "/feed"));
             rig.cycle.requestUpdate();
         },
         "showing headlines from 12:05, the feed has failed since 12:10", "12:05"},
        {"next day: the date is named",
         [&] {
             rig.clock.setLocalTime({2026, 1, 2, 8, 0, 0});
             rig.window.editFeedText(rig.url("/feed"));
             rig.update(notFound);
         },
         "showing headlines from 2026-01-01 12:05, the feed has failed since 2026-01-01 12:10", "12:05"},
        {"success again", [&] { rig.update(feedResponse({"Fresh"})); }, "", "08:05"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.update();
        EXPECT_EQ(rig.cycle.staleHeadlines(), step.stale);
        if (step.stale.empty()) {
            EXPECT_EQ(rig.text(Field::Status), "");
        } else {
            std::string sentence = step.stale + ".";
            sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
            EXPECT_EQ(statusEnd(), sentence) << rig.text(Field::Status);
        }
        EXPECT_EQ(rig.text(Field::Label18), step.lastUpdate);
        EXPECT_EQ(rig.shownLabels(), *step.lastUpdate ? kIdle : "");
        rig.clock.advance(5 * kMinute);
    }
    EXPECT_EQ(rig.endings, (Strings{"nothing sent", "sent", "nothing sent", "abandoned", "nothing sent", "sent"}));
}

TEST(UpdateCycle, HoursEndingDuringAnUpdateBlankTheSignAfterItsHeadlines)
{
    CycleRig rig({.period = "1", .slots = {{0, "/news"}}, .extra = "[Schedule]\r\nHours=12:00-12:02\r\n"});
    rig.minutes(1);  // 12:01: an update starts and waits for the feed
    rig.minutes(1);  // 12:02: the hours end meanwhile
    rig.serve(feedResponse({"One"}));
    const Strings sent = rig.udp.sentBytes();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_NE(sent[0].find("~FD"), std::string::npos) << "the headlines";
    EXPECT_EQ(sent[1].find("~FD"), std::string::npos) << "then the blank frame, last";
    rig.minutes(3);
    EXPECT_EQ(rig.udp.sentBytes().size(), 2U) << "no update outside the hours";
}

TEST(UpdateCycle, AnAnnouncementHoldsTheHeadlinesAndItsEndFollowsTheHours)
{
    CycleRig rig({.period = "1", .slots = {{0, "/news"}}, .extra = "[Schedule]\r\nHours=12:00-12:03\r\n"});
    rig.minutes(1);  // 12:01: headlines
    rig.serve(feedResponse({"One"}));
    rig.minutes(1);  // 12:02: the next update waits for the feed
    ASSERT_EQ(rig.program.announcement().start("Drill", 5).error, "");
    EXPECT_EQ(rig.serve(feedResponse({"late"})), "/news");
    EXPECT_EQ(rig.endings, (Strings{"sent", "abandoned"}));
    EXPECT_NE(rig.udp.sentBytes().back().find("Drill"), std::string::npos) << "the download sends nothing";
    EXPECT_TRUE(rig.cycle.missedWhileHeld()) << "so its end brings fresh headlines";
    rig.minutes(1);  // 12:03: the hours end while it is on
    EXPECT_NE(rig.udp.sentBytes().back().find("Drill"), std::string::npos) << "no blank frame over it";
    const std::size_t frames = rig.udp.sentBytes().size();
    EXPECT_TRUE(rig.program.announcement().clear());
    rig.minutes(2);
    ASSERT_EQ(rig.udp.sentBytes().size(), frames + 1);
    EXPECT_EQ(rig.udp.sentBytes().back().find("One"), std::string::npos) << "outside the hours its end is blank";
    EXPECT_EQ(rig.resolver.names.size(), 2U) << "and no update follows";
}
