// File > Open and File > Open Recent as a user works them: the menu, the file
// dialog, the window title, and the settings file left behind written.
#include "gui/desktop_program.h"
#include "shared/settings.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orlavo;

namespace {

const std::string kSign = "[CommMethod]\r\nREMOTEIP=127.0.0.1\r\nEMBEDDED=0\r\n[Parameters]\r\nUPDATEPERIOD=";

// Clicks a menu of the bar, then one of its entries (a submenu's entry when
// entry is a path "Open Recent/...") , as a mouse does.
void clickMenu(QMainWindow& window, const QStringList& path)
{
    QMenuBar* bar = window.menuBar();
    QAction* top = nullptr;
    for (QAction* action : bar->actions()) {
        if (action->text().remove(QLatin1Char('&')) == path[0]) {
            top = action;
        }
    }
    ASSERT_NE(top, nullptr) << path[0].toStdString();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
    QMenu* menu = top->menu();
    for (int i = 1; i < path.size(); ++i) {
        ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
        QAction* entry = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().remove(QLatin1Char('&')).endsWith(path[i])) {
                entry = action;
            }
        }
        ASSERT_NE(entry, nullptr) << path[i].toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        menu = entry->menu();
    }
}

// Types a path into the file dialog once it is up and has the focus, and
// presses Enter.
void answerFileDialog(const QString& path)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        dialog->activateWindow();
        auto* name = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (name == nullptr || name->window() != dialog) {
            return;
        }
        poll->deleteLater();
        QTest::keyClicks(name, path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    poll->start(20);
}

}  // namespace

TEST(FileOpen, OpensAnotherSignAfterWritingTheOneOpenAndRemembersBoth)
{
    orlavo::testing::TempDir dir;
    const auto a = dir.file("lobby.ini");
    const auto b = dir.file("canteen.ini");
    orlavo::testing::writeFileBytes(a, kSign + "15\r\n");
    orlavo::testing::writeFileBytes(b, kSign + "30\r\n");
    gui::DesktopProgram program(a, nullptr, dir.file("orlavo.conf"));
    std::vector<std::string> boxes;
    program.messages().setPresenter(
        [&boxes](signfeed::MessageIcon, const std::string& title, const std::string& text) {
            boxes.push_back(title + ": " + text);
        });
    program.start();
    const auto titled = [&program](const char* name) {
        return QTest::qWaitFor([&] { return program.window().windowTitle().contains(QLatin1String(name)); });
    };
    ASSERT_TRUE(titled("lobby.ini"));
    EXPECT_TRUE(program.window().windowTitle().endsWith(" - Velmor RSS Feed Display"));

    // An edit the user has not confirmed yet is written by the close sequence.
    auto* period = qobject_cast<QLineEdit*>(program.window().widgetFor(signfeed::Field::Text5));
    ASSERT_NE(period, nullptr);
    period->selectAll();
    QTest::keyClicks(period, "45");
    answerFileDialog(QString::fromStdString(b.string()));
    clickMenu(program.window(), {"File", "Open..."});
    ASSERT_TRUE(titled("canteen.ini"));
    platform::DiskProfileFile lobby(a);
    EXPECT_EQ(signfeed::readIni(lobby, "Parameters", "UpdatePeriod", ""), "45");
    EXPECT_EQ(qobject_cast<QLineEdit*>(program.window().widgetFor(signfeed::Field::Text5))->text(), "30");
    EXPECT_EQ(program.recentFiles().paths(), (QStringList{QString::fromStdString(b.string()),
                                                          QString::fromStdString(a.string())}));

    // A recent file that is gone is dropped, with a message; the open one stays.
    std::filesystem::remove(a);
    clickMenu(program.window(), {"File", "Open Recent", QString::fromStdString(a.string())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes, (std::vector<std::string>{"Open Settings File: The settings file " + a.string() +
                                               " does not exist any more; it is taken off the recent files."}));
    EXPECT_EQ(program.recentFiles().paths(), QStringList{QString::fromStdString(b.string())});
    EXPECT_TRUE(titled("canteen.ini"));

    // A file that cannot be read leaves the open one as it is, and says why.
    const auto big = dir.file("big.ini");
    orlavo::testing::writeFileBytes(big, std::string(5 << 20, ';'));
    answerFileDialog(QString::fromStdString(big.string()));
    clickMenu(program.window(), {"File", "Open..."});
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 2; }));
    EXPECT_EQ(boxes[1].rfind("Open Settings File: The settings file was not read, so " + b.string() + " stays open:", 0),
              0U) << boxes[1];
    EXPECT_TRUE(titled("canteen.ini"));

    // The list outlives the program: a new start reads it from its own file.
    EXPECT_EQ(gui::RecentFiles(QString::fromStdString(dir.file("orlavo.conf").string())).paths(),
              QStringList{QString::fromStdString(b.string())});
    program.finish();
}
