// The main window's widgets drive the model and show its fields: clicks,
// edits, Enter in the feed list and list choices change the model, what the
// window shows and data.ini as the window's rules say.
#include "gui/announce_bar.h"
#include "main_window_rig.h"
#include "signfeed/sign_protocol.h"
#include "support/scripted_server.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orlavo::gui {
namespace {

using signfeed::Field;
using testing::WindowRig;

// The model's own values are its tests' concern: here each widget shows its
// field, whatever the field holds, and what was hidden at first start is
// hidden; the captions, headings and tool tips read as the window names them.
TEST(MainWindow, EachWidgetShowsItsModelFieldAndItsCaption)
{
    WindowRig rig;
    const std::vector<Field> hiddenAtStart{Field::Command2, Field::TypeFont, Field::Label19, Field::Label13,
                                           Field::Label14,  Field::Label15,  Field::Label17, Field::Label18};
    for (std::size_t i = 0; i < signfeed::kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        QWidget* widget = rig.window.widgetFor(field);
        if (widget == nullptr) {
            continue;
        }
        SCOPED_TRACE(i);
        const signfeed::Control& control = rig.program.window().control(field);
        const QString text = QString::fromStdString(control.text);
        EXPECT_EQ(widget->isVisible(), std::ranges::count(hiddenAtStart, field) == 0);
        EXPECT_EQ(widget->isEnabled(), control.enabled);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            EXPECT_EQ(box->checkState(), control.value == 1 ? Qt::Checked : Qt::Unchecked);
        } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
            EXPECT_EQ(option->isChecked(), control.value == 1);
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(edit->text(), text);
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            EXPECT_EQ(list->count(), static_cast<int>(control.entries.size()));
            EXPECT_EQ(list->currentIndex(), control.selectedIndex);
            EXPECT_EQ(list->currentText(), text);
        } else if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && field != Field::Label19) {
            EXPECT_EQ(label->text(), text);
        }
    }
    EXPECT_FALSE(rig.widget<QComboBox>(Field::Combo1).isEnabled()) << "a field the model disables";
    EXPECT_EQ(rig.widget<QLabel>(Field::LblVersion).foregroundRole(), QPalette::PlaceholderText);
    EXPECT_EQ(rig.window.windowTitle(), "Velmor RSS Feed Display");
    const std::pair<Field, const char*> captions[] = {
        {Field::Option0, "Use only the selected RSS feed"}, {Field::Option1, "Use all the RSS feeds in the list"},
        {Field::Check1, "Ethernet UDP"},   {Field::Command3, "IP Discovery"},
        {Field::Check3, "Embedded in Clock"}, {Field::Check2, "Serial Communications"},
        {Field::Check4, "Smart LED Display"}, {Field::Command2, "Reset Sign"},
        {Field::BRequest, "Request and Display RSS"}, {Field::Command1, "Exit"},
        {Field::Label19, "Intensity"},     {Field::Label17, "Last Update: "},
        {Field::Label13, "Downloading RSS File From Website"}, {Field::Label14, "Updating Sign"},
        {Field::Label15, "Initializing Sign"},
    };
    for (const auto& [field, caption] : captions) {
        QWidget* widget = rig.window.widgetFor(field);
        ASSERT_NE(widget, nullptr) << caption;
        const QVariant text = widget->property("text");
        EXPECT_EQ(text.toString().remove('&'), caption);
    }
    QStringList labels;
    for (const QLabel* label : rig.window.findChildren<QLabel*>()) {
        labels.push_back(QString(label->text()).remove('&'));
    }
    for (const char* heading :
         {"RSS Feed URL (Press the Enter key after each entry):", "RSS Data Received for Message Display:",
          "Maximum Number of Messages to Display", "Minutes Between Updates", "Speed 1  -  5", "Color Scheme",
          "Display IP Address", "Comm Port", "Baud Rate"}) {
        EXPECT_TRUE(labels.contains(heading)) << heading;
    }
    EXPECT_EQ(rig.widget<QLineEdit>(Field::Text1).toolTip(), "255.255.255.255 = all displays on the subnet");
    EXPECT_EQ(rig.widget<QPushButton>(Field::BRequest).toolTip(), "Connect to server and download specified file.");
    rig.window.setSettingsPath("/srv/signs/lobby.ini");
    EXPECT_TRUE(rig.window.aboutText().contains("/srv/signs/lobby.ini"));
    EXPECT_TRUE(rig.window.userGuidePath().endsWith("README.md")) << "Help finds the guide";
}

TEST(MainWindow, TabReachesEveryControlInReadingOrderAndEachHasAName)
{
    WindowRig rig;
    QTest::mouseClick(rig.widget<QComboBox>(Field::AccessPointIP).lineEdit(), Qt::LeftButton);
    std::vector<QWidget*> reached;
    for (QWidget* focus = QApplication::focusWidget();
         focus != nullptr && std::find(reached.begin(), reached.end(), focus) == reached.end();
         focus = QApplication::focusWidget()) {
        reached.push_back(focus);
        QAccessibleInterface* named = QAccessible::queryAccessibleInterface(focus);
        ASSERT_NE(named, nullptr);
        EXPECT_FALSE(named->text(QAccessible::Name).isEmpty()) << focus->metaObject()->className();
        EXPECT_FALSE(focus->visibleRegion().isEmpty()) << "scrolled into view";
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    std::vector<QWidget*> expected;
    for (Field field : {Field::AccessPointIP, Field::Option0, Field::Option1, Field::Trss, Field::Text3, Field::Text5,
                        Field::Text4, Field::ColorScheme, Field::Text1, Field::Check1, Field::Command3, Field::Check3,
                        Field::Check4, Field::Check2, Field::BRequest, Field::Command1}) {
        expected.push_back(rig.window.widgetFor(field));
        if (field == Field::Trss) {
            const auto* bar = rig.window.findChild<gui::AnnounceBar*>();
            expected.insert(expected.end(), {bar->textField(), bar->minutesField(), bar->button()});
        }
    }
    EXPECT_EQ(reached, expected);
}

// The last update's time keeps room for itself before the row lays out again.
TEST(MainWindow, LabelsThatComeAndGoMoveNothingAndTheLastUpdateTimeShowsWhole)
{
    WindowRig rig;
    QWidget* text = rig.window.widgetFor(Field::Trss);
    auto placed = [&] {
        QApplication::processEvents();  // the scroll area lays out in turns
        QApplication::processEvents();
        return QRect(text->mapTo(&rig.window, QPoint()), text->size());
    };
    const QRect before = placed();
    auto& model = rig.program.window();
    model.setVisible(Field::Label14, true);
    model.setText(Field::Label18, "14:05");
    model.setText(Field::Status, "The update at 12:00 failed: connection refused. The sign keeps its messages.");
    model.setText(Field::LinkNote, "Frames go out from port 40000.");
    auto& time = rig.widget<QLabel>(Field::Label18);
    EXPECT_GE(time.width(), time.fontMetrics().horizontalAdvance("14:05"));
    EXPECT_EQ(placed(), before);
    EXPECT_FALSE(rig.widget<QLabel>(Field::Status).visibleRegion().isEmpty());
    EXPECT_GE(time.width(), time.sizeHint().width());
    EXPECT_EQ(time.text(), "14:05");
}

TEST(MainWindow, FitsTheScreenWithItsButtonsInSight)
{
    WindowRig rig;
    QApplication::processEvents();
    EXPECT_TRUE(rig.window.screen()->availableGeometry().contains(rig.window.frameGeometry()))
        << rig.window.frameGeometry().width() << "x" << rig.window.frameGeometry().height();
    auto* scroll = rig.window.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    // From the smallest screen the window is made for (1280x800 at 1.5x) up.
    if (rig.window.screen()->availableGeometry().width() >= 853) {
        EXPECT_LE(scroll->widget()->width(), scroll->viewport()->width()) << "no sideways scrolling";
    }
    for (Field button : {Field::BRequest, Field::Command1}) {
        QWidget* shown = rig.window.widgetFor(button);
        EXPECT_EQ(shown->visibleRegion(), QRegion(shown->rect()));
    }
}

TEST(MainWindow, CheckBoxClicksFollowTheWindowRules)
{
    enum class Shown { Visible, Enabled };
    struct Dependent {
        Field field;
        Shown how;
        bool after;
    };
    struct Row {
        Field box;
        const char* key;
        const char* storedAfter;
        std::vector<Dependent> dependents;
    };
    const Row rows[] = {
        {Field::Check1, "Ethernet", "0",
         {{Field::Command3, Shown::Visible, false}, {Field::Text1, Shown::Enabled, false}}},
        {Field::Check2, "Serial", "1",
         {{Field::Combo1, Shown::Enabled, true}, {Field::Combo2, Shown::Enabled, true}}},
        {Field::Check3, "Embedded", "0", {{Field::Command2, Shown::Visible, true}}},
        {Field::Check4, "RGBdisplay", "1",
         {{Field::TypeFont, Shown::Visible, true}, {Field::Label19, Shown::Visible, true}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        WindowRig rig;
        QTest::mouseClick(&rig.widget<QCheckBox>(row.box), Qt::LeftButton);
        for (const Dependent& dependent : row.dependents) {
            QWidget* widget = rig.window.widgetFor(dependent.field);
            EXPECT_EQ(dependent.how == Shown::Visible ? widget->isVisible() : widget->isEnabled(), dependent.after);
        }
        EXPECT_EQ(rig.ini("CommMethod", row.key), row.storedAfter);
        if (row.box == Field::Check4) {
            EXPECT_EQ(rig.widget<QComboBox>(Field::ColorScheme).count(), 8);
        }
    }
}

TEST(MainWindow, ClampedFieldsShowTheirLimitAsTyped)
{
    struct Row {
        Field field;
        const char* typed;
        const char* shown;
    };
    const Row rows[] = {
        {Field::Text3, "40", "25"}, {Field::Text3, "abc", "abc"}, {Field::Text3, "30x", "25x"},
        {Field::Text4, "9", "5"},   {Field::Text4, "3", "3"},     {Field::Text5, "999", "999"},
    };
    WindowRig rig;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        rig.type(row.field, row.typed);
        EXPECT_EQ(rig.widget<QLineEdit>(row.field).text(), row.shown);
        EXPECT_EQ(rig.program.window().control(row.field).text, row.shown);
    }
}

TEST(MainWindow, AFeedTypedIntoTheListAndEnterIsStoredInItsSlot)
{
    struct Row {
        int chosen;  // -1: only a click into the list (slot 0 is selected at start)
        const char* key;
        int selectedAfter;
    };
    const Row rows[] = {{-1, "AccessPointIP0", 1}, {3, "AccessPointIP3", 4}, {25, "AccessPointIP25", -1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        WindowRig rig;
        if (row.chosen >= 0) {
            rig.choose(Field::AccessPointIP, row.chosen);
        }
        auto& feeds = rig.widget<QComboBox>(Field::AccessPointIP);
        rig.clickAndType(*feeds.lineEdit(), "http://127.0.0.1:8080/news.xml", Qt::Key_Return);
        EXPECT_EQ(rig.ini("AccessPoint", row.key), "http://127.0.0.1:8080/news.xml");
        EXPECT_EQ(feeds.currentIndex(), row.selectedAfter);
        EXPECT_EQ(feeds.count(), 26);
    }
}

// A sign on 127.0.0.2: an address typed and left (by Tab or Enter) is stored,
// and a click on Reset Sign reaches it through a real socket, without a restart.
TEST(MainWindow, AnAddressTypedAndLeftAimsTheLinkAtOnce)
{
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    platform::PosixUdpEndpoint sign(loop);
    std::string got;
    sign.setReceiveHandler([&](std::string datagram, std::string, int) { got = datagram; });
    ASSERT_FALSE(sign.bind("127.0.0.2", 0));
    for (Qt::Key finish : {Qt::Key_Tab, Qt::Key_Return}) {
        got.clear();
        // Aimed at first at a loopback address nobody listens on.
        WindowRig rig("[CommMethod]\r\nREMOTEIP=127.0.0.3\r\nEMBEDDED=0\r\nRemotePort=" +
                          std::to_string(sign.localPort()) + "\r\n",
                      true);
        rig.clickAndType(rig.widget<QLineEdit>(Field::Text1), "127.0.0.2", finish);
        EXPECT_EQ(rig.ini("CommMethod", "REMOTEIP"), "127.0.0.2");
        if (finish == Qt::Key_Tab) {
            EXPECT_EQ(QApplication::focusWidget(), rig.window.widgetFor(Field::Check1));
        }
        QTest::mouseClick(rig.window.widgetFor(Field::Command2), Qt::LeftButton);
        for (int round = 0; round < 500 && got.empty(); ++round) {
            loop.runOnce(10);  // waits only for the datagram
        }
        EXPECT_EQ(got, signfeed::toWireBytes(signfeed::kResetFrame)) << "nothing reached 127.0.0.2";
    }
}

TEST(MainWindow, RequestShowsTheHeadlinesInTheTextAndOnTheSignPreview)
{
    testing::ScriptedServer server;
    WindowRig rig("[CommMethod]\r\nREMOTEIP=127.0.0.2\r\nEMBEDDED=0\r\n[AccessPoint]\r\nACCESSPOINTIP0=" +
                  server.url("/news.xml") + "\r\n");
    QTest::mouseClick(rig.window.widgetFor(Field::BRequest), Qt::LeftButton);
    ASSERT_TRUE(server.accept());
    EXPECT_EQ(server.readRequest().rfind("GET /news.xml ", 0), 0U);
    server.send("HTTP/1.0 200 OK\r\n\r\n<rss><channel><title>T</title><item><title>Harbour opens</title></item>"
                "</channel></rss>");
    server.close();
    for (int round = 0; round < 50 && !rig.preview.shown(); ++round) {
        rig.loop.runOnce(100);  // waits only for the server's bytes
    }
    ASSERT_TRUE(rig.preview.shown().has_value());
    ASSERT_EQ(rig.preview.shown()->messages.size(), 1U);
    EXPECT_EQ(rig.preview.shown()->messages[0].text, "Harbour opens ");
    EXPECT_TRUE(rig.widget<QPlainTextEdit>(Field::Trss).toPlainText().startsWith("Harbour opens"));
    EXPECT_EQ(rig.udp.remoteHost(), "127.0.0.2");
}

TEST(MainWindow, ChoicesEditsAndExitReachTheModelAndTheFile)
{
    WindowRig rig;
    QTest::mouseClick(&rig.widget<QCheckBox>(Field::Check2), Qt::LeftButton);
    rig.choose(Field::Combo1, 2);
    EXPECT_EQ(rig.ini("Communications", "CommPort"), "3");
    EXPECT_EQ(rig.widget<QComboBox>(Field::Combo1).currentText(), "Com3");
    EXPECT_EQ(rig.serial.opens(), 1);
    rig.choose(Field::Combo2, 2);
    EXPECT_EQ(rig.ini("Communications", "Baud"), "19200");
    EXPECT_EQ(rig.serial.opens(), 2) << "a new speed tests the port too";
    QTest::mouseClick(&rig.widget<QRadioButton>(Field::Option1), Qt::LeftButton);
    EXPECT_FALSE(rig.widget<QRadioButton>(Field::Option0).isChecked());
    EXPECT_TRUE(rig.widget<QRadioButton>(Field::Option1).isChecked());
    rig.type(Field::Text5, "15");
    QTest::mouseClick(&rig.widget<QPushButton>(Field::Command1), Qt::LeftButton);
    EXPECT_TRUE(rig.program.window().closed());
    EXPECT_EQ(rig.ini("CommMethod", "RSSListOp1"), "True");
    EXPECT_EQ(rig.ini("Parameters", "UpdatePeriod"), "15");
    QCoreApplication::processEvents();
    EXPECT_FALSE(rig.window.isVisible());
}

}  // namespace
}  // namespace orlavo::gui
