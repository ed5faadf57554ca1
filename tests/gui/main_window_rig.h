#pragma once
// The main window over the real models, with fake links and settings in
// memory, on a manual clock: what the widget tests and screenshots start from.
#include "gui/main_window.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "shared/settings.h"
#include "support/fake_message_sink.h"
#include "support/fake_network.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace orlavo::testing {

using gui::MainWindow;
using signfeed::Field;

struct WindowRig {
    // realUdp: frames go out through a real socket (to loopback addresses only).
    explicit WindowRig(std::optional<std::string> ini = std::nullopt, bool realUdp = false)
        : settings(std::move(ini)), posixUdp(realUdp ? std::make_unique<platform::PosixUdpEndpoint>(loop) : nullptr)
    {
        program.link().setObserver(&preview);
        program.load();
        window.refreshAll();
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template <typename W>
    W& widget(Field field)
    {
        auto* w = qobject_cast<W*>(window.widgetFor(field));
        EXPECT_NE(w, nullptr);
        return *w;
    }
    std::string ini(std::string_view section, std::string_view key)
    {
        return signfeed::readIni(settings, section, key, "(missing)");
    }
    void choose(Field field, int row)
    {
        auto& box = widget<QComboBox>(field);
        box.setCurrentIndex(row);
        emit box.activated(row);
    }
    // As a person does: a click into the field, then keys to whatever has the focus.
    void clickAndType(QWidget& target, const QString& text, Qt::Key finish)
    {
        QTest::mouseClick(&target, Qt::LeftButton);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focus, text);
        QTest::keyClick(QApplication::focusWidget(), finish);
    }
    void type(Field field, const QString& text)
    {
        auto& edit = widget<QLineEdit>(field);
        edit.clear();
        QTest::keyClicks(&edit, text);
    }

    platform::ManualClock clock;
    platform::PollEventLoop loop{clock};
    platform::MemoryProfileFile settings;
    FakeUdpEndpoint udp{clock};
    std::unique_ptr<platform::PosixUdpEndpoint> posixUdp;
    FakeSerialPort serial{clock};
    FakeConnectivity connectivity;
    FakeMessageSink sink;
    signfeed::FeedProgram program{
        signfeed::ProgramPorts{clock, loop, settings, posixUdp ? static_cast<platform::UdpEndpoint&>(*posixUdp) : udp,
                               serial, connectivity, sink},
        0};
    signfeed::SignPreview preview;
    MainWindow window{program, preview, nullptr};
};

}  // namespace orlavo::testing


