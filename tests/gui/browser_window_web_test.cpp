// The browser window on the real web engine, against pages served on
// loopback: the caption and the address box follow real loads.
#include "gui/browser_window.h"
#include "gui/browser_window_factory.h"
#include "support/fake_message_sink.h"
#include "support/python_http_server.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace orlavo::gui {
namespace {

using orlavo::testing::TempDir;

// A first load starts the engine's processes: allow for a slow machine.
constexpr int kLoadTimeoutMs = 30'000;

QStringList items(const QComboBox& box)
{
    QStringList out;
    for (int i = 0; i < box.count(); ++i) {
        out << box.itemText(i);
    }
    return out;
}

TEST(BrowserWindowWeb, LoadsTwoLoopbackPagesWithCaptionAndHistory)
{
    TempDir root;
    auto page = [&](const char* file, const char* title) {
        orlavo::testing::writeFileBytes(root.file(file), std::string("<html><head><title>") + title + "</title></head>");
    };
    page("a.html", "Page A");
    page("b.html", "Page B");
    orlavo::testing::PythonHttpServer server(root.path());
    ASSERT_TRUE(server.running()) << "python3 -m http.server did not start";
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.port());
    const QString pageA = QStringLiteral("http://%1/a.html").arg(host);
    const QString pageB = QStringLiteral("http://%1/b.html").arg(host);

    orlavo::testing::FakeMessageSink sink;
    // Made as Browse makes it, with the search page from data.ini.
    platform::MemoryProfileFile settings{"[Browser]\r\nSearchPage=" + pageB.toStdString() + "\r\n"};
    BrowserWindowFactory factory(nullptr, settings, sink);
    std::unique_ptr<discovery::BrowserWindow> made = factory.createBrowserWindow();
    auto* built = dynamic_cast<BrowserWindow*>(made.get());
    ASSERT_NE(built, nullptr);
    BrowserWindow& window = *built;
    // The toolbar's six buttons in order, each with its name as caption and tool tip.
    const QStringList names{"Back", "Forward", "Stop", "Refresh", "Home", "Search"};
    for (int i = 0; i < names.size(); ++i) {
        QAction* action = window.tool(static_cast<BrowserWindow::Tool>(i));
        EXPECT_EQ(action->text(), names[i]);
        EXPECT_EQ(action->toolTip(), names[i]);
    }
    auto* address = window.findChild<QLabel*>();
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->text(), "&Address:");
    EXPECT_EQ(address->buddy(), window.addressBox());
    EXPECT_EQ(window.windowTitle(), "");
    QSignalSpy captions(&window, &QWidget::windowTitleChanged);
    QSignalSpy starts(window.webView(), &QWebEngineView::loadStarted);
    // A bare address, as the discovery window passes it.
    window.setStartingAddress((host + "/a.html").toStdString());
    window.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Page A"; }, kLoadTimeoutMs))
        << "the web engine did not load the page; caption: " << window.windowTitle().toStdString();
    ASSERT_FALSE(captions.isEmpty());
    EXPECT_EQ(captions.first().first().toString(), "Working...");
    EXPECT_EQ(items(*window.addressBox()), (QStringList{pageA, host + "/a.html"}));

    QLineEdit* edit = window.addressBox()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, host + "/b.html");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Page B"; }, kLoadTimeoutMs));
    EXPECT_EQ(items(*window.addressBox()), (QStringList{pageB, pageA, host + "/a.html"}));

    window.tool(BrowserWindow::Tool::Back)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Page A"; }, kLoadTimeoutMs));
    EXPECT_EQ(items(*window.addressBox()), (QStringList{pageA, pageB, host + "/a.html"}));
    EXPECT_EQ(window.addressBox()->currentText(), pageA);
    EXPECT_EQ(starts.size(), 3) << "each navigation loads once";

    window.tool(BrowserWindow::Tool::Search)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == "Page B"; }, kLoadTimeoutMs));
    EXPECT_EQ(items(*window.addressBox()), (QStringList{pageB, pageA, host + "/a.html"}));
    EXPECT_TRUE(sink.messages().empty());

    // These tests run the engine without its sandbox, as the program does as root.
    ASSERT_NE(window.sandboxNote(), nullptr);
    EXPECT_TRUE(window.sandboxNote()->isVisible());
    // Browse returns when Close is clicked; meanwhile no other window is blocked.
    auto* close = window.findChild<QPushButton*>();
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), "&Close");
    QTimer::singleShot(0, &window, [&] {
        EXPECT_EQ(window.windowModality(), Qt::NonModal);
        QTest::mouseClick(close, Qt::LeftButton);
    });
    window.showModal();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace orlavo::gui
