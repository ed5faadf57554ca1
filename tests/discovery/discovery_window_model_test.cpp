#include "discovery/discovery_window_model.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/main_window_model.h"
#include "support/fake_message_sink.h"
#include "support/fake_process_launcher.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::discovery;
using F = DiscoveryField;

namespace {

class FakeBrowsers final : public BrowserFactory {
public:
    class Window final : public BrowserWindow {
    public:
        explicit Window(FakeBrowsers& owner) : m_owner(owner) {}
        void setStartingAddress(const std::string& address) override { m_owner.addresses.push_back(address); }
        void showModal() override { ++m_owner.shown; }

    private:
        FakeBrowsers& m_owner;
    };
    std::unique_ptr<BrowserWindow> createBrowserWindow() override { return std::make_unique<Window>(*this); }
    std::vector<std::string> addresses;
    int shown = 0;
};

// Both windows on one settings file, as in the program: the main window
// loaded first, then the discovery window opened over it.
struct Rig {
    explicit Rig(std::string ini, std::string userStore = {})
        : settings(std::move(ini)), store(std::move(userStore))
    {
        mainWindow.load();
        mainWindow.setListener(nullptr);
    }
    std::string read(std::string_view section, std::string_view key) const
    {
        return settings.read(section, key, "<missing>");
    }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings;
    platform::MemoryProfileFile store;
    orlavo::testing::FakeUdpEndpoint mainUdp{clock};
    orlavo::testing::FakeSerialPort serial{clock};
    orlavo::testing::FakeUdpEndpoint discoveryUdp{clock};
    orlavo::testing::FakeProcessLauncher launcher;
    TelnetLauncher telnet{launcher};
    FakeBrowsers browsers;
    orlavo::testing::FakeMessageSink sink;
    signfeed::MainWindowModel mainWindow{signfeed::MainWindowDeps{clock, loop, settings, mainUdp, serial, sink},
                                         signfeed::MainWindowOptions{0, "test"}};
    DiscoveryWindowModel window{DiscoveryWindowDeps{clock, loop, settings, store, discoveryUdp, sink, mainWindow,
                                                    &browsers, &telnet}};
};

const std::array<F, 8> kOctets{F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4, F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4};

std::string octetTexts(const DiscoveryWindowModel& w)
{
    std::string all;
    for (F f : kOctets) {
        all += w.control(f).text + " ";
    }
    return all;
}

TEST(DiscoveryWindowModel, LoadFillsTheFieldsAndRepairsWhatItCannotUse)
{
    struct Row {
        const char* label;
        std::string ini;
        std::string octets;     // the fields after load
        std::string port;
        std::string start1;     // in the file after load
        std::string filePort;
        std::string address;
    } rows[] = {
        // Defaults shown; the keys are first written at close.
        {"no Discovery section, no RemoteIP", "", "255 255 255 255 255 255 255 255 ", "16001", "<missing>",
         "<missing>", "255.255.255.255"},
        {"empty RemoteIP", "[CommMethod]\r\nRemoteIP=\r\n", "255 255 255 255 255 255 255 255 ", "16001",
         "<missing>", "<missing>", "255.255.255.255"},
        {"empty start1: all nine rewritten and shown",
         "[CommMethod]\r\nRemoteIP=10.0.0.9\r\n[Discovery]\r\nstart1=\r\nend4=7\r\nPort=16000\r\n",
         "255 255 255 255 255 255 255 255 ", "16001", "255", "16001", "10.0.0.9"},
        {"non-numeric Port: defaults written, fields keep what was read",
         "[Discovery]\r\nstart1=10\r\nend4=20\r\nPort=abc\r\n", "10 255 255 255 255 255 255 20 ", "abc", "255",
         "16001", "255.255.255.255"},
        {"Port above 65535 takes the error path too", "[Discovery]\r\nstart1=10\r\nPort=70000\r\n",
         "10 255 255 255 255 255 255 255 ", "70000", "255", "16001", "255.255.255.255"},
        {"a kept range", "[Discovery]\r\nstart1=192\r\nstart4=1\r\nend4=254\r\nPort=16000\r\n",
         "192 255 255 1 255 255 255 254 ", "16000", "192", "16000", "255.255.255.255"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig(row.ini);
        rig.window.load();
        EXPECT_EQ(octetTexts(rig.window), row.octets);
        EXPECT_EQ(rig.window.control(F::DiscoveryPort).text, row.port);
        EXPECT_EQ(rig.window.control(F::SignAddress).text, row.address);
        EXPECT_EQ(rig.read("Discovery", "start1"), row.start1);
        EXPECT_EQ(rig.read("Discovery", "Port"), row.filePort);
        EXPECT_EQ(rig.read("CommMethod", "RemoteIP"), row.address);
        EXPECT_FALSE(rig.window.control(F::SearchingCaption).visible);
        EXPECT_FALSE(rig.window.control(F::SearchedAddress).visible);
        EXPECT_TRUE(rig.window.control(F::Replies).entries.empty());
        EXPECT_EQ(rig.discoveryUdp.binds(), 0);  // bound only by a walk
    }
}

TEST(DiscoveryWindowModel, PositionComesFromTheUserStore)
{
    Rig plain("");
    plain.window.load();
    EXPECT_EQ(plain.window.left(), 1000);
    EXPECT_EQ(plain.window.top(), 1000);
    Rig stored("", "[Settings]\r\nMainLeft=2400\r\nMainTop=x\r\n");
    stored.window.load();
    EXPECT_EQ(stored.window.left(), 2400);
    EXPECT_EQ(stored.window.top(), 1000);
}

TEST(DiscoveryWindowModel, SetAllTo255ThenLocateSendsOneBroadcastProbe)
{
    Rig rig("[Discovery]\r\nstart1=10\r\nend1=10\r\nstart4=0\r\nend4=100\r\n");
    rig.window.load();
    rig.window.setAllTo255();
    EXPECT_EQ(octetTexts(rig.window), "255 255 255 255 255 255 255 255 ");
    EXPECT_EQ(rig.read("Discovery", "start1"), "10");  // written only on close
    rig.window.locate();
    ASSERT_EQ(rig.discoveryUdp.sent().size(), 1u);
    EXPECT_EQ(rig.discoveryUdp.sent()[0].host, "255.255.255.255");
    EXPECT_EQ(rig.discoveryUdp.sent()[0].port, 16001);
}

TEST(DiscoveryWindowModel, DuringAWalkLocateIsDisabledAndTheProgressShown)
{
    Rig rig("[Discovery]\r\nstart1=10\r\nstart2=0\r\nstart3=0\r\nstart4=1\r\nend1=10\r\nend2=0\r\nend3=0\r\nend4=3\r\n");
    rig.window.load();
    std::vector<std::string> seen;
    struct Watch final : DiscoveryWindowModel::Listener {
        DiscoveryWindowModel* w = nullptr;
        std::vector<std::string>* seen = nullptr;
        void fieldChanged(F field) override
        {
            if (field == F::SearchedAddress && w->control(F::SearchedAddress).visible && !w->control(F::SearchedAddress).text.empty()) {
                seen->push_back(w->control(F::SearchedAddress).text + (w->control(F::Locate).enabled ? " on" : " off"));
            }
        }
    } watch;
    watch.w = &rig.window;
    watch.seen = &seen;
    rig.window.setListener(&watch);
    rig.loop.post([&] { rig.discoveryUdp.deliver(std::string("*$:0050C2A1B2C3:010.000.000.002:") + "Hall"); });
    rig.window.locate();
    rig.window.setListener(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"10.0.0.1 off", "10.0.0.2 off", "10.0.0.3 off"}));
    EXPECT_TRUE(rig.window.control(F::Locate).enabled);
    EXPECT_FALSE(rig.window.control(F::SearchedAddress).visible);
    ASSERT_EQ(rig.window.control(F::Replies).entries.size(), 1u);
    EXPECT_EQ(rig.window.control(F::Replies).entries[0],
              "IP: 010.000.000.002\t   MAC: 00-50-C2-A1-B2-C3     NAME: Hall");
}

TEST(DiscoveryWindowModel, SelectionMakesTheSignTheTargetAtOnce)
{
    struct Row {
        const char* label;
        const char* port;
        const char* hostname;
    } rows[] = {{"named mode", "16001", "Hall clock          "}, {"port 16000: no name", "16000", ""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig(std::string("[Discovery]\r\nPort=") + row.port + "\r\n");
        rig.window.load();
        rig.discoveryUdp.deliver(std::string("*$:0050C2A1B2C3:010.001.002.003:") + "Hall clock          ");
        rig.window.select(-1);
        rig.window.select(5);
        EXPECT_EQ(rig.window.control(F::SignAddress).text, "255.255.255.255");
        rig.window.select(0);
        EXPECT_EQ(rig.window.control(F::SignAddress).text, "10.1.2.3");
        EXPECT_EQ(rig.mainWindow.control(signfeed::Field::Text1).text, "10.1.2.3");
        EXPECT_EQ(rig.mainWindow.signAddress(), "10.1.2.3");
        EXPECT_EQ(rig.mainUdp.remoteHost(), "10.1.2.3");  // the link sends there now
        EXPECT_EQ(rig.read("CommMethod", "RemoteIP"), "10.1.2.3");
        EXPECT_EQ(rig.window.control(F::Hostname).text, row.hostname);
        EXPECT_EQ(rig.read("CommMethod", "Ethernet"), "1");
    }
}

TEST(DiscoveryWindowModel, ExitSavesTheEditedFieldsForTheNextOpening)
{
    Rig rig("");
    rig.window.load();
    rig.window.editOctet(F::StartOctet1, "192");
    rig.window.editOctet(F::EndOctet4, "2x");
    rig.window.editOctet(F::Title, "not an octet");
    rig.window.editOctet(F::StartOctet2, "1\xc3\xa9" "99");  // typing stops at three characters
    rig.window.editPort("160009");
    rig.window.editAddress("10.9.9.9");
    EXPECT_EQ(rig.read("CommMethod", "RemoteIP"), "10.9.9.9");  // every change
    rig.window.exit();
    EXPECT_TRUE(rig.window.closed());
    EXPECT_FALSE(rig.discoveryUdp.isOpen());
    DiscoveryWindowModel again{DiscoveryWindowDeps{rig.clock, rig.loop, rig.settings, rig.store, rig.discoveryUdp,
                                                   rig.sink, rig.mainWindow, nullptr, nullptr}};
    again.load();
    EXPECT_EQ(octetTexts(again), "192 1\xc3\xa9" "9 255 255 255 255 255 2x ");
    EXPECT_EQ(again.control(F::DiscoveryPort).text, "16000");
    EXPECT_EQ(again.control(F::SignAddress).text, "10.9.9.9");
}

TEST(DiscoveryWindowModel, CloseDuringAWalkStopsItAtTheNextPause)
{
    Rig rig("[Discovery]\r\nstart1=10\r\nstart2=0\r\nstart3=0\r\nstart4=0\r\nend1=10\r\nend2=0\r\nend3=0\r\n");
    rig.window.load();
    rig.loop.post([&] { rig.window.close(); });
    rig.window.locate();
    EXPECT_EQ(rig.discoveryUdp.sent().size(), 1u);
    EXPECT_EQ(rig.clock.sleeps().size(), 1u);
    EXPECT_TRUE(rig.window.closed());
    rig.window.locate();  // a closed window does nothing
    EXPECT_EQ(rig.discoveryUdp.sent().size(), 1u);
}

TEST(DiscoveryWindowModel, BrowseAndTelnetUseTheAddressField)
{
    Rig rig("[CommMethod]\r\nRemoteIP=10.1.2.3\r\n");
    rig.launcher.installed = {"telnet", "xterm"};
    rig.window.load();
    rig.window.telnet();
    ASSERT_EQ(rig.launcher.launched.size(), 1u);
    EXPECT_EQ(rig.launcher.launched[0],
              (std::vector<std::string>{"/usr/bin/xterm", "-e", "/usr/bin/telnet", "10.1.2.3", "17000"}));

    rig.window.editAddress("-oProxyCommand=sh");
    rig.window.telnet();
    EXPECT_EQ(rig.launcher.launched.size(), 1u);
    ASSERT_EQ(rig.sink.lines().size(), 1u);
    EXPECT_NE(rig.sink.lines()[0].find("not a host name"), std::string::npos);
    EXPECT_FALSE(rig.window.closed());

    rig.window.editAddress("");
    rig.window.telnet();
    EXPECT_EQ(rig.launcher.launched.size(), 1u);
    EXPECT_EQ(rig.sink.lines().size(), 1u);
    rig.window.browse();
    rig.window.browse();
    EXPECT_EQ(rig.browsers.addresses, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(rig.browsers.shown, 2);
}

TEST(DiscoveryWindowModel, BadPortIsReportedAtLocateNotPerKeystroke)
{
    Rig rig("");
    rig.window.load();
    for (const char* text : {"7", "70", "700", "7000", "70000"}) {
        rig.window.editPort(text);
    }
    EXPECT_TRUE(rig.sink.lines().empty());
    rig.window.locate();
    EXPECT_EQ(rig.sink.lines().size(), 1u);
    EXPECT_EQ(rig.discoveryUdp.binds(), 0);
    EXPECT_TRUE(rig.window.control(F::Locate).enabled);
}

}  // namespace
