#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/profile_text.h"
#include "signfeed/main_window_model.h"
#include "support/fake_message_sink.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace orlavo;
using namespace orlavo::signfeed;

namespace {

// The model over a settings file in memory, or on disk for what only a real
// file does (removed, a directory, a failed write).
template <class File>
struct Rig {
    template <class Source = std::optional<std::string>>
    explicit Rig(Source file = {}, int localPort = 0) : settings(std::move(file)), localPort(localPort)
    {
    }
    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    File settings;
    int localPort;
    orlavo::testing::FakeUdpEndpoint udp{clock};
    orlavo::testing::FakeSerialPort serial{clock};
    orlavo::testing::FakeMessageSink sink;
    MainWindowModel model{MainWindowDeps{clock, loop, settings, udp, serial, sink}, MainWindowOptions{localPort, "1.0.7"}};
    std::string file() const { return settings.bytes().value_or(""); }
};
using Window = Rig<platform::MemoryProfileFile>;
using DiskWindow = Rig<platform::DiskProfileFile>;

const std::string kFirstStartFile =
    "[CommMethod]\r\nEMBEDDED=1\r\nETHERNET=1\r\nSERIAL=0\r\nREMOTEIP=255.255.255.255\r\nRSSLISTOP0=True\r\n"
    "RSSLISTOP1=False\r\nRGBDISPLAY=0\r\n"
    "[Communications]\r\nTYPEFONTINDEX1=4\r\nBAUD=9600\r\nCOMMPORT=1\r\n"
    "[Parameters]\r\nINITIALDELAY=9\r\nMESSAGES=10\r\nUPDATEPERIOD=60\r\nSPEED=1\r\n"
    "[AccessPoint]\r\nACCESSPOINTIP0=http://feeds.bbci.co.uk/news/rss.xml\r\n"
    "ACCESSPOINTIP1=http://feeds.bbci.co.uk/news/world/rss.xml\r\n"
    "ACCESSPOINTIP2=\r\nACCESSPOINTIP3=\r\nACCESSPOINTIP4=\r\nACCESSPOINTIP5=\r\nACCESSPOINTIP6=\r\n"
    "ACCESSPOINTIP7=\r\nACCESSPOINTIP8=\r\nACCESSPOINTIP9=\r\nACCESSPOINTIP10=\r\nACCESSPOINTIP11=\r\n"
    "ACCESSPOINTIP12=\r\nACCESSPOINTIP13=\r\nACCESSPOINTIP14=\r\nACCESSPOINTIP15=\r\nACCESSPOINTIP16=\r\n"
    "ACCESSPOINTIP17=\r\nACCESSPOINTIP18=\r\nACCESSPOINTIP19=\r\nACCESSPOINTIP20=\r\nACCESSPOINTIP21=\r\n"
    "ACCESSPOINTIP22=\r\nACCESSPOINTIP23=\r\nACCESSPOINTIP24=\r\nACCESSPOINTIP25=\r\n";

}  // namespace

TEST(MainWindowModel, FirstStartShowsDefaultsAndWritesEveryKeyInOrder)
{
    Window w;
    w.model.load();
    const auto& m = w.model;
    EXPECT_EQ(m.control(Field::Check1).value, 1);
    EXPECT_EQ(m.control(Field::Check2).value, 0);
    EXPECT_FALSE(m.control(Field::Combo1).enabled);
    EXPECT_FALSE(m.control(Field::Combo2).enabled);
    EXPECT_EQ(m.control(Field::Check3).value, 1);
    EXPECT_FALSE(m.control(Field::Command2).visible);
    EXPECT_FALSE(m.control(Field::TypeFont).visible);
    EXPECT_EQ(m.control(Field::TypeFont).text, "5");
    EXPECT_EQ(m.control(Field::ColorScheme).text, "Multicolor");
    EXPECT_EQ(m.control(Field::ColorScheme).entries.size(), 4u);
    EXPECT_EQ(m.control(Field::Combo1).text, "Com1");
    EXPECT_EQ(m.control(Field::Combo1).entries.size(), 255u);
    EXPECT_EQ(m.control(Field::Combo2).text, "9600");
    EXPECT_EQ(m.control(Field::Text3).text, "10");
    EXPECT_EQ(m.control(Field::Text5).text, "60");
    EXPECT_EQ(m.control(Field::Text4).text, "1");
    EXPECT_EQ(m.control(Field::Option0).value, 1);
    EXPECT_EQ(m.control(Field::Option1).value, 0);
    EXPECT_EQ(m.control(Field::AccessPointIP).text, kDefaultFeed0);
    EXPECT_EQ(m.selectedFeedSlot(), 0);
    EXPECT_EQ(m.control(Field::Text1).text, "255.255.255.255");
    EXPECT_EQ(m.control(Field::LblVersion).text, "Version 1.0.7");
    EXPECT_EQ(w.udp.remoteHost(), "255.255.255.255");
    EXPECT_EQ(w.udp.remotePort(), 16000);
    EXPECT_EQ(w.serial.device(), "/dev/ttyS0");
    EXPECT_EQ(w.file(), kFirstStartFile);
    EXPECT_TRUE(w.sink.lines().empty());

    w.model.close();
    EXPECT_TRUE(w.model.closed());
    std::string closed = kFirstStartFile;
    closed.insert(closed.find("[Parameters]"), "COLORSCHEMEINDEX=0\r\n");
    EXPECT_EQ(w.file(), closed);
}

TEST(MainWindowModel, LoadKeepsEmptyValuesClampsAndReadsHandWrittenKeys)
{
    Window w("[commmethod]\nremoteip=\nrsslistop0=False\nrsslistop1=FALSE\n"
             "[parameters]\nmessages=40\nspeed=7\nupdateperiod=\n");
    w.model.load();
    EXPECT_EQ(w.model.signAddress(), "255.255.255.255");
    EXPECT_EQ(w.model.control(Field::Text3).text, "25");
    EXPECT_EQ(w.model.control(Field::Text4).text, "5");
    EXPECT_EQ(w.model.control(Field::Text5).text, "");
    EXPECT_EQ(w.model.control(Field::Option0).value, 0);
    EXPECT_EQ(w.model.control(Field::Option1).value, 0);
    EXPECT_NE(w.file().find("messages=25\n"), std::string::npos) << w.file();
    EXPECT_NE(w.file().find("remoteip=255.255.255.255\n"), std::string::npos);
    EXPECT_TRUE(w.sink.lines().empty());

    w.model.editText(Field::Text3, "30 items");
    EXPECT_EQ(w.model.control(Field::Text3).text, "25");
    w.model.editText(Field::Text4, "9");
    EXPECT_EQ(w.model.control(Field::Text4).text, "5");
}

TEST(MainWindowModel, RecoveryResetsOnlyTheKeysThatFailedAndSaysWhichOnce)
{
    Window w("[Communications]\r\nCOLORSCHEMEINDEX=6\r\nCOMMPORT=999\r\n"
             "[Parameters]\r\nMESSAGES=12\r\nSPEED=abc\r\nTURL=http://127.0.0.1/feed\r\n[CommMethod]\r\nSERIAL=x\r\n");
    w.model.load();
    EXPECT_EQ(w.model.control(Field::ColorScheme).selectedIndex, 0);
    EXPECT_EQ(w.model.control(Field::Text3).text, "12");
    EXPECT_EQ(w.model.control(Field::TUrl).text, "http://127.0.0.1/feed");
    EXPECT_EQ(w.model.serialPortNumber(), "1");
    EXPECT_EQ(w.model.control(Field::Check2).value, 0);
    ASSERT_EQ(w.sink.lines().size(), 1u);
    EXPECT_NE(w.sink.lines()[0].find("Serial, Speed, ColorSchemeIndex, CommPort"), std::string::npos)
        << w.sink.lines()[0];
    EXPECT_NE(w.file().find("COLORSCHEMEINDEX=0\r\n"), std::string::npos);
    EXPECT_NE(w.file().find("COMMPORT=1\r\n"), std::string::npos);
    EXPECT_NE(w.file().find("MESSAGES=12\r\n"), std::string::npos);
    EXPECT_NE(w.file().find("SPEED=1\r\n"), std::string::npos);
    EXPECT_EQ(w.model.control(Field::Text4).text, "1");
}

TEST(MainWindowModel, ChoosingAPortKeepsUnsavedEditsAndTestsThePort)
{
    Window w;
    w.model.load();
    w.model.editCheck(Field::Check2, 1);
    w.model.chooseBaud(2);
    w.model.editText(Field::Text5, "15");
    const int opensBefore = w.serial.opens();
    w.model.choosePort(2);
    EXPECT_EQ(w.model.control(Field::Check2).value, 1) << "the re-run start-up must not untick it";
    EXPECT_EQ(w.model.control(Field::Text5).text, "15");
    EXPECT_EQ(w.model.serialPortNumber(), "3");
    EXPECT_EQ(w.model.control(Field::Combo1).text, "Com3");
    EXPECT_EQ(w.model.control(Field::Combo1).entries.size(), 255u);
    EXPECT_EQ(w.model.control(Field::TypeFont).entries.size(), 15u);
    ASSERT_EQ(w.serial.opens(), opensBefore + 1);
    EXPECT_EQ(w.serial.device() + "@" + w.serial.lineSettings(), "/dev/ttyS2@19200,n,8,1");
    EXPECT_FALSE(w.serial.isOpen());
    EXPECT_NE(w.file().find("COMMPORT=3\r\n"), std::string::npos);

    w.serial.failOpen(2);
    w.model.choosePort(4);
    ASSERT_EQ(w.sink.lines().size(), 1u);
    EXPECT_EQ(w.sink.lines()[0], "ERROR: Please check your comm settings");
}

TEST(MainWindowModel, EnterInTheFeedListStoresTheSlotAndMovesOn)
{
    Window w;
    w.model.load();
    w.model.chooseFeedSlot(3);
    w.model.editFeedText("http://127.0.0.1:8080/three.xml");
    EXPECT_EQ(w.model.feedKeyPress(13), 13);
    EXPECT_EQ(w.model.selectedFeedSlot(), 4);
    EXPECT_EQ(w.model.control(Field::AccessPointIP).entries[3], "http://127.0.0.1:8080/three.xml");
    EXPECT_NE(w.file().find("ACCESSPOINTIP3=http://127.0.0.1:8080/three.xml\r\n"), std::string::npos);

    w.model.chooseFeedSlot(25);
    w.model.editFeedText("last");
    w.model.feedKeyPress(13);
    EXPECT_EQ(w.model.control(Field::AccessPointIP).selectedIndex, -1);
    EXPECT_EQ(w.model.control(Field::AccessPointIP).text, "");
    EXPECT_EQ(w.model.control(Field::AccessPointIP).entries[25], "last");
    EXPECT_EQ(w.model.feedKeyPress('a'), 'a');
}

TEST(MainWindowModel, APortHeldElsewhereIsANoteInTheWindowNotAQuestion)
{
    Window w(std::nullopt, kSignUdpPort);
    w.udp.bindElsewhere(40000);
    w.model.load();
    EXPECT_NE(w.model.control(Field::LinkNote).text.find("go out from UDP port 40000"), std::string::npos);
    // Tools print it once; the window's sink drops it and shows the field.
    EXPECT_EQ(w.sink.lines().size(), 1U);
}

// A cut read must never be written back over the whole value, nor be used.
TEST(MainWindowModel, AValueTooLongToReadSurvivesOpenAndCloseAndAFeedSlotSoLongIsNotUsed)
{
    const std::string longUrl = "http://127.0.0.1/" + std::string(1200, 'a');
    Window w("[Parameters]\r\nTURL=" + longUrl + "\r\n[AccessPoint]\r\nACCESSPOINTIP2=" + longUrl + "\r\n");
    w.model.load();
    EXPECT_EQ(w.model.control(Field::AccessPointIP).entries.at(2), "");
    ASSERT_EQ(w.sink.lines().size(), 1u);
    EXPECT_NE(w.sink.lines()[0].find("749 characters"), std::string::npos) << w.sink.lines()[0];
    EXPECT_NE(w.sink.lines()[0].find(": AccessPointIP2."), std::string::npos) << w.sink.lines()[0];

    w.model.chooseFeedSlot(3);
    w.model.editFeedText(longUrl);
    w.model.feedKeyPress(13);
    EXPECT_EQ(w.sink.lines().size(), 2u) << "a typed address that long is refused, not stored cut";
    w.model.close();
    EXPECT_NE(w.file().find("TURL=" + longUrl + "\r\n"), std::string::npos);
    EXPECT_NE(w.file().find("ACCESSPOINTIP2=" + longUrl + "\r\n"), std::string::npos);
    EXPECT_NE(w.file().find("ACCESSPOINTIP3=\r\n"), std::string::npos);
}

TEST(MainWindowModel, EveryEditIsStoredWhenItIsMade)
{
    Window w;
    w.model.load();
    w.model.editCheck(Field::Check1, 0);
    w.model.editText(Field::Text1, "127.0.0.9");
    w.model.chooseOption(1);
    w.model.chooseColorScheme(2);
    w.model.editCheck(Field::Check4, 1);
    const std::string f = w.file();
    for (const char* line : {"ETHERNET=0\r\n", "REMOTEIP=127.0.0.9\r\n", "RSSLISTOP0=False\r\n", "RSSLISTOP1=True\r\n",
                             "RGBDISPLAY=1\r\n"}) {
        EXPECT_NE(f.find(line), std::string::npos) << line;
    }
    EXPECT_FALSE(w.model.control(Field::Text1).enabled);
    EXPECT_FALSE(w.model.control(Field::Command3).visible);
    EXPECT_EQ(w.model.control(Field::ColorScheme).entries.size(), 8u);
    EXPECT_EQ(w.model.control(Field::ColorScheme).selectedIndex, -1);
    EXPECT_EQ(w.udp.remoteHost(), "255.255.255.255") << "the link keeps its address until the next start-up";
}

// Another program's edits while the window runs: a reload takes them as a
// start-up would, keeping the cycle's count and rotation, and the close never
// writes over an edit made after the last reload.
TEST(MainWindowModel, EditsOnDiskAreTakenByAReloadAndKeptByTheClose)
{
    Window w;
    w.model.load();
    EXPECT_FALSE(w.model.reloadChangedSettings().reloaded);
    for (int minute = 1; minute <= 7; ++minute) {
        w.model.countMinute();
        if (minute <= 3) {
            w.model.takeFeedSlot();
        }
    }
    auto edit = [&](const char* key, const char* value) {
        w.settings.replaceBytes(platform::profile::assign(w.file(), section::kParameters, key, value));
    };
    edit("MESSAGES", "30");
    EXPECT_TRUE(w.model.reloadChangedSettings().reloaded);
    EXPECT_EQ(w.model.control(Field::Text3).text, "25") << "taken as a start-up takes it";
    EXPECT_EQ((std::pair{w.model.minutesSinceUpdate(), w.model.nextFeedSlot()}), (std::pair{7L, 3}));
    EXPECT_FALSE(w.model.reloadChangedSettings().reloaded) << "its own writes are no edit";
    edit("UPDATEPERIOD", "5");
    w.model.close();
    EXPECT_EQ(readIni(w.settings, section::kParameters, "UpdatePeriod", ""), "5");
    EXPECT_EQ(readIni(w.settings, section::kParameters, "Messages", ""), "25");
    EXPECT_EQ(readIni(w.settings, section::kCommunications, "ColorSchemeIndex", ""), "0");
}

TEST(MainWindowModel, AReloadNeverTakesAFileItCannotRead)
{
    orlavo::testing::TempDir dir;
    DiskWindow w(dir.file("data.ini"));
    w.model.load();
    w.model.editText(Field::Text1, "127.0.0.9");
    std::filesystem::remove(dir.file("data.ini"));
    for (const char* failure : {"the file was removed", "is a directory"}) {
        SCOPED_TRACE(failure);
        MainWindowModel::SettingsReload reload = w.model.reloadChangedSettings();
        EXPECT_FALSE(reload.reloaded);
        ASSERT_TRUE(reload.failure.has_value());
        EXPECT_NE(reload.failure->description.find(failure), std::string::npos) << reload.failure->description;
        EXPECT_EQ(w.model.control(Field::Text1).text, "127.0.0.9") << "the settings in effect stay";
        std::filesystem::create_directory(dir.file("data.ini"));
    }
}

TEST(MainWindowModel, AFailedWriteIsReportedOnceAndTheWindowGoesOn)
{
    orlavo::testing::TempDir dir;
    DiskWindow w(dir.path());  // a directory: every write fails
    w.model.load();
    w.model.editText(Field::Text5, "5");
    w.model.close();
    ASSERT_EQ(w.sink.lines().size(), 1u);
    EXPECT_EQ(w.sink.lines()[0].rfind("Settings not saved", 0), 0u);
    EXPECT_EQ(w.model.control(Field::Text5).text, "5");
}

TEST(Settings, EscapesTheFirstLineBreakAndNeutralisesTheRest)
{
    platform::MemoryProfileFile file;
    ASSERT_FALSE(writeIni(file, "P", "TUrl", "one\r\ntwo\r\nthree\nfour"));
    EXPECT_EQ(file.bytes().value(), "[P]\r\nTURL=one~13two  three four\r\n");
    EXPECT_EQ(readIni(file, "P", "TURL", ""), "one\r\ntwo  three four");

    platform::MemoryProfileFile twice(std::string("[P]\r\nk=a~13b~13c\r\n"));
    EXPECT_EQ(readIni(twice, "P", "K", ""), "a\r\nb~13c");
}

TEST(Settings, SettingsPathPrefersOptionThenPortableFileThenXdg)
{
    orlavo::testing::TempDir dir;
    EXPECT_EQ(resolveSettingsPath(std::filesystem::path("/x/data.ini"), dir.path()), "/x/data.ini");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(resolveSettingsPath(std::nullopt, dir.path()), "/cfg/orlavo/data.ini");
    orlavo::testing::writeFileBytes(dir.file("data.ini"), "");
    EXPECT_EQ(resolveSettingsPath(std::nullopt, dir.path()), dir.file("data.ini"));
    unsetenv("XDG_CONFIG_HOME");
}
