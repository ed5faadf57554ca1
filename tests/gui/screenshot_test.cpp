// Renders the discovery dialog (after a walk that found two signs) and the
// browser window (on a page served on loopback) to PNG files for the docs.
#include "discovery/discovery_rig.h"
#include "gui/browser_window.h"
#include "gui/discovery_dialog.h"
#include "gui/qt_platform/qt_event_loop.h"
#include "screenshot.h"
#include "support/python_http_server.h"
#include "support/temp_dir.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace orlavo::gui {
namespace {

using F = discovery::DiscoveryField;

TEST(Screenshot, DiscoveryDialogAfterAWalk)
{
    // The fake endpoint sends nowhere: the addresses only fill the picture.
    orlavo::testing::DiscoveryRig<QtEventLoop> rig(
        "[CommMethod]\r\nRemoteIP=192.168.1.40\r\n[Discovery]\r\nstart1=192\r\nstart2=168\r\nstart3=1\r\nstart4=40\r\n"
        "end1=192\r\nend2=168\r\nend3=1\r\nend4=42\r\nPort=16001\r\n");
    DiscoveryDialog dialog(rig.window, nullptr);
    rig.window.load();
    dialog.refreshAll();
    dialog.show();
    QTimer::singleShot(0, &dialog, [&] {
        rig.discoveryUdp.deliver(discovery::buildReply("0050C2A1B2C3", "192.168.1.40", "Lobby clock").value());
        rig.discoveryUdp.deliver(discovery::buildReply("0050C2A1B2D7", "192.168.1.42", "Warehouse").value());
    });
    (void)rig.window.locate();
    auto* list = qobject_cast<QListWidget*>(dialog.widget(F::Replies));
    ASSERT_EQ(list->count(), 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(rig.mainWindow.signAddress(), "192.168.1.40");
    QTest::qWait(50);  // one paint
    EXPECT_TRUE(orlavo::testing::looksPainted(orlavo::testing::saveScreenshot(dialog, "discovery-dialog")));
    rig.window.close();
}

TEST(Screenshot, BrowserWindowOnASignPage)
{
    orlavo::testing::TempDir root;
    orlavo::testing::writeFileBytes(
        root.file("index.html"),
        "<html><head><title>Clock setup</title><style>body{font-family:sans-serif;margin:24px;color:#222}"
        "h1{font-size:20px}td{padding:4px 12px 4px 0}</style></head><body><h1>Network clock</h1>"
        "<table><tr><td>Address</td><td>127.0.0.1</td></tr><tr><td>Sign port</td><td>16000</td></tr>"
        "<tr><td>Discovery port</td><td>16001</td></tr><tr><td>Firmware</td><td>5.5</td></tr></table>"
        "</body></html>");
    orlavo::testing::PythonHttpServer server(root.path());
    ASSERT_TRUE(server.running());
    orlavo::testing::FakeMessageSink sink;
    BrowserWindow window(nullptr, sink, {});
    window.setStartingAddress(QStringLiteral("127.0.0.1:%1/index.html").arg(server.port()).toStdString());
    window.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Clock setup"; }, 30'000));
    QTest::qWait(500);  // the engine paints after it reports the load
    EXPECT_TRUE(orlavo::testing::looksPainted(orlavo::testing::saveScreenshot(window, "browser-window")));
}

}  // namespace
}  // namespace orlavo::gui
