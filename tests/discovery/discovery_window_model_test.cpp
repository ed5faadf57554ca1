#include "discovery/discovery_rig.h"
#include "platform/poll_event_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::discovery;
using F = DiscoveryField;

namespace {

using Rig = orlavo::testing::DiscoveryRig<platform::PollEventLoop>;

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
        std::string userStore{};  // the window's place
        int left = 1000;
        int top = 1000;
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
         "192 255 255 1 255 255 255 254 ", "16000", "192", "16000", "255.255.255.255",
         "[Settings]\r\nMainLeft=2400\r\nMainTop=x\r\n", 2400},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig(row.ini, row.userStore);
        rig.window.load();
        EXPECT_EQ(octetTexts(rig.window), row.octets);
        EXPECT_EQ(rig.window.left(), row.left);
        EXPECT_EQ(rig.window.top(), row.top);
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

TEST(DiscoveryWindowModel, DuringAWalkLocateIsDisabledAndTheProgressShownAndACloseStopsIt)
{
    Rig rig("[Discovery]\r\nstart1=10\r\nstart2=0\r\nstart3=0\r\nstart4=1\r\nend1=10\r\nend2=0\r\nend3=0\r\nend4=3\r\n");
    rig.window.load();
    struct Watch final : DiscoveryWindowModel::Listener {
        explicit Watch(const DiscoveryWindowModel& model) : w(model) {}
        void fieldChanged(F field) override
        {
            const auto& shown = w.control(F::SearchedAddress);
            if (field == F::SearchedAddress && shown.visible && !shown.text.empty()) {
                seen.push_back(shown.text + (w.control(F::Locate).enabled ? " on" : " off"));
            }
        }
        const DiscoveryWindowModel& w;
        std::vector<std::string> seen;
    } watch(rig.window);
    rig.window.setListener(&watch);
    rig.loop.post([&] { rig.discoveryUdp.deliver(std::string("*$:0050C2A1B2C3:010.000.000.002:") + "Hall"); });
    rig.window.locate();
    rig.window.setListener(nullptr);
    EXPECT_EQ(watch.seen, (std::vector<std::string>{"10.0.0.1 off", "10.0.0.2 off", "10.0.0.3 off"}));
    EXPECT_TRUE(rig.window.control(F::Locate).enabled);
    EXPECT_FALSE(rig.window.control(F::SearchedAddress).visible);
    ASSERT_EQ(rig.window.control(F::Replies).entries.size(), 1u);
    EXPECT_EQ(rig.window.control(F::Replies).entries[0],
              "IP: 010.000.000.002\t   MAC: 00-50-C2-A1-B2-C3     NAME: Hall");

    // A close in the first pause stops the walk there; a closed window walks no more.
    rig.loop.post([&] { rig.window.close(); });
    rig.window.locate();
    EXPECT_TRUE(rig.window.closed());
    rig.window.locate();
    EXPECT_EQ(rig.discoveryUdp.sent().size(), 4u);
    EXPECT_EQ(rig.clock.sleeps().size(), 4u);
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
    Rig rig("[Discovery]\r\nstart1=10\r\nend1=10\r\nstart4=0\r\nend4=100\r\n");
    rig.window.load();
    rig.window.setAllTo255();
    EXPECT_EQ(octetTexts(rig.window), "255 255 255 255 255 255 255 255 ");
    rig.window.editPort("70000");
    EXPECT_TRUE(rig.sink.lines().empty()) << "a bad port is reported at Locate, not at each keystroke";
    rig.window.locate();
    EXPECT_EQ(rig.sink.lines().size(), 1u);
    EXPECT_EQ(rig.discoveryUdp.binds(), 0);
    EXPECT_TRUE(rig.window.control(F::Locate).enabled);
    rig.window.editOctet(F::StartOctet1, "192");
    rig.window.editOctet(F::EndOctet4, "2x");
    rig.window.editOctet(F::Title, "not an octet");
    rig.window.editOctet(F::StartOctet2, "1\xc3\xa9" "99");  // typing stops at three characters
    rig.window.editPort("160009");
    rig.window.editAddress("10.9.9.9");
    EXPECT_EQ(rig.read("CommMethod", "RemoteIP"), "10.9.9.9");  // every change
    EXPECT_EQ(rig.read("Discovery", "start1"), "10");            // octets only on close
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

}  // namespace
