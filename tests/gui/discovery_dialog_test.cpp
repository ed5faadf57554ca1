// The discovery dialog over its model on fakes: what the widgets show, what
// typing and clicking change in the model, the main window and data.ini.
#include "discovery/discovery_rig.h"
#include "gui/discovery_dialog.h"
#include "gui/discovery_session.h"
#include "gui/qt_platform/qt_event_loop.h"
#include "gui/web_engine_sandbox.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace orlavo::gui {
namespace {

using discovery::DiscoveryField;
using F = DiscoveryField;

// A walk over 127.0.0.1-127.0.0.5 on port 16001 (replies carry a name).
constexpr const char* kLoopbackRange =
    "[Discovery]\r\nstart1=127\r\nstart2=0\r\nstart3=0\r\nstart4=1\r\nend1=127\r\nend2=0\r\nend3=0\r\nend4=5\r\n";

// The dialog over the discovery window's model, loaded and shown.
struct Rig : orlavo::testing::DiscoveryRig<QtEventLoop> {
    Rig() : DiscoveryRig(kLoopbackRange, "[Settings]\r\nMainLeft=1500\r\nMainTop=3000\r\n")
    {
        launcher.installed = {"telnet", "x-terminal-emulator"};
        window.load();
        dialog.refreshAll();
        dialog.show();
    }
    QLineEdit* edit(F f) const { return qobject_cast<QLineEdit*>(dialog.widget(f)); }
    QPushButton* button(F f) const { return qobject_cast<QPushButton*>(dialog.widget(f)); }
    QLabel* label(F f) const { return qobject_cast<QLabel*>(dialog.widget(f)); }
    QListWidget* list() const { return qobject_cast<QListWidget*>(dialog.widget(F::Replies)); }
    void retype(F f, const QString& text) const
    {
        edit(f)->selectAll();
        QTest::keyClicks(edit(f), text);
    }

    DiscoveryDialog dialog{window, nullptr};
};

std::string reply(const char* ip, const char* name)
{
    return discovery::buildReply("0050C2A1B2C3", ip, name).value();
}

TEST(DiscoveryDialog, ShowsEveryControlsTextAsTheModelHoldsIt)
{
    Rig rig;
    EXPECT_EQ(rig.dialog.windowTitle(), "Clock IP Discovery");
    for (std::size_t i = 0; i < discovery::kDiscoveryFieldCount; ++i) {
        const auto field = static_cast<F>(i);
        SCOPED_TRACE(i);
        QWidget* w = rig.dialog.widget(field);
        ASSERT_NE(w, nullptr);
        const QString text = QString::fromStdString(rig.window.control(field).text);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(label->text().remove(QChar(0x2060)), text);  // joiners keep "apt-get" whole
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            EXPECT_EQ(edit->text(), text);
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(button->text().remove('&'), QString(text).remove('&'));
            EXPECT_TRUE(button->text().contains('&')) << "Alt and a letter presses it";
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            EXPECT_EQ(box->title(), text);
        }
        EXPECT_EQ(w->isVisible(), rig.window.control(field).visible);
    }
    EXPECT_EQ(rig.button(F::Exit)->text(), "E&xit");
    for (F octet : {F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4, F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4}) {
        EXPECT_EQ(rig.edit(octet)->maxLength(), 3);
    }
    EXPECT_EQ(rig.edit(F::DiscoveryPort)->maxLength(), 5);
    EXPECT_EQ(rig.dialog.x(), 1500 * rig.dialog.logicalDpiX() / 1440);
    // The stored place, moved up as far as the screen needs.
    EXPECT_LE(rig.dialog.y(), 3000 * rig.dialog.logicalDpiY() / 1440);
}

TEST(DiscoveryDialog, FitsTheScreenWithItsButtonsInSight)
{
    Rig rig;
    QApplication::processEvents();
    EXPECT_TRUE(rig.dialog.screen()->availableGeometry().contains(rig.dialog.frameGeometry()));
    for (QPushButton* button : rig.dialog.findChildren<QPushButton*>()) {
        EXPECT_EQ(button->visibleRegion(), QRegion(button->rect())) << button->text().toStdString();
    }
}

TEST(DiscoveryDialog, TypingReachesTheModelAndDataIni)
{
    Rig rig;
    rig.retype(F::StartOctet1, "1920");  // the fourth character does not fit
    rig.retype(F::EndOctet4, "7");
    rig.retype(F::DiscoveryPort, "160001");
    rig.retype(F::SignAddress, "127.0.0.9");
    EXPECT_EQ(rig.window.control(F::StartOctet1).text, "192");
    EXPECT_EQ(rig.window.control(F::EndOctet4).text, "7");
    EXPECT_EQ(rig.window.control(F::DiscoveryPort).text, "16000");
    EXPECT_EQ(rig.read("CommMethod", "RemoteIP"), "127.0.0.9");  // at every change
    EXPECT_EQ(rig.read("Discovery", "start1"), "127");            // octets wait for the close

    QTest::mouseClick(rig.button(F::SetAllTo255), Qt::LeftButton);
    for (F f : {F::StartOctet1, F::StartOctet4, F::EndOctet1, F::EndOctet4}) {
        EXPECT_EQ(rig.edit(f)->text(), "255");
    }
    QTest::mouseClick(rig.button(F::Exit), Qt::LeftButton);
    EXPECT_TRUE(rig.window.closed());
    EXPECT_FALSE(rig.dialog.isVisible());
    EXPECT_EQ(rig.read("Discovery", "start1"), "255");
    EXPECT_EQ(rig.read("Discovery", "Port"), "16000");
}

TEST(DiscoveryDialog, LocateIsDisabledWhileTheListFillsThenASelectionBecomesTheTarget)
{
    Rig rig;
    struct Seen {
        bool locateEnabled = true;
        bool searchingShown = false;
        int rowsDuringWalk = 0;
    } seen;
    // Runs at the walk's first pause: a sign answers.
    QTimer::singleShot(0, &rig.dialog, [&] {
        rig.discoveryUdp.deliver(reply("127.0.0.3", "Hall clock"));
        seen.locateEnabled = rig.button(F::Locate)->isEnabled();
        seen.searchingShown = rig.label(F::SearchingCaption)->isVisible() && rig.label(F::SearchedAddress)->isVisible();
        seen.rowsDuringWalk = rig.list()->count();
    });
    QTest::mouseClick(rig.button(F::Locate), Qt::LeftButton);
    EXPECT_FALSE(seen.locateEnabled);
    EXPECT_TRUE(seen.searchingShown);
    EXPECT_EQ(seen.rowsDuringWalk, 1);
    EXPECT_EQ(rig.discoveryUdp.sent().size(), 5u);
    EXPECT_TRUE(rig.button(F::Locate)->isEnabled());
    EXPECT_FALSE(rig.label(F::SearchingCaption)->isVisible());
    ASSERT_EQ(rig.list()->count(), 1);

    QListWidget* list = rig.list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    // What the main window and data.ini take from a selection is the model test's.
    EXPECT_EQ(rig.mainWindow.signAddress(), "127.0.0.3");
    EXPECT_EQ(rig.edit(F::SignAddress)->text(), "127.0.0.3");
    EXPECT_EQ(rig.label(F::Hostname)->text(), "Hall clock          ");

    // A second walk starts with an empty list.
    QTest::mouseClick(rig.button(F::Locate), Qt::LeftButton);
    EXPECT_EQ(rig.list()->count(), 0);
}

TEST(DiscoveryDialog, BrowseAndTelnetUseTheAddressField)
{
    Rig rig;
    rig.retype(F::SignAddress, "127.0.0.7");
    QTest::mouseClick(rig.button(F::Browse), Qt::LeftButton);
    QTest::mouseClick(rig.button(F::Telnet), Qt::LeftButton);
    EXPECT_EQ(rig.browsers.addresses, (std::vector<std::string>{"127.0.0.7"}));
    ASSERT_EQ(rig.launcher.launched.size(), 1u);
    const std::vector<std::string> argv{"/usr/bin/x-terminal-emulator", "-e", "/usr/bin/telnet", "127.0.0.7", "17000"};
    EXPECT_EQ(rig.launcher.launched[0], argv);
}

TEST(WebEngineSandbox, OffAsRootUnlessTheUserSaidHowToRunIt)
{
    struct Row {
        bool root;
        const char* flags;
        const char* disabled;  // QTWEBENGINE_DISABLE_SANDBOX afterwards
        bool off;
    };
    const Row rows[] = {
        {true, "", "1", true}, {false, "", "", false}, {true, "--no-sandbox", "", true}, {false, "--no-sandbox", "", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", row.flags);
        prepareWebEngineSandbox(row.root);
        EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), row.disabled);
        EXPECT_EQ(webEngineSandboxOff(), row.off);
    }
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
}

TEST(DiscoveryDialog, EscapeRunsTheCloseSequence)
{
    Rig rig;
    QTest::keyClick(&rig.dialog, Qt::Key_Escape);
    EXPECT_TRUE(rig.window.closed());
    EXPECT_FALSE(rig.dialog.isVisible());
    EXPECT_EQ(rig.read("Discovery", "end4"), "5");
}

TEST(DiscoverySession, RunsTheDialogModallyOnTheGivenEndpointAndSavesAtExit)
{
    orlavo::testing::DiscoveryRig<QtEventLoop> rig(kLoopbackRange);
    bool sawModal = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<DiscoveryDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        sawModal = true;
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->widget(F::Locate)), Qt::LeftButton);
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog->widget(F::Exit)), Qt::LeftButton);
    });
    runDiscoveryDialog(nullptr, DiscoveryDialogPorts{rig.clock, rig.loop, rig.settings, rig.sink, rig.mainWindow},
                       DiscoverySessionSeams{&rig.discoveryUdp, &rig.store, &rig.launcher, nullptr});
    EXPECT_TRUE(sawModal);
    EXPECT_EQ(rig.discoveryUdp.sent().size(), 5u);
    EXPECT_FALSE(rig.discoveryUdp.isOpen());
    EXPECT_EQ(rig.read("Discovery", "Port"), "16001");
}

}  // namespace
}  // namespace orlavo::gui
