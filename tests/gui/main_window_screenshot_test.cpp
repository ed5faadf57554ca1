// The main window as the operator sees it, on a real X server: while a frame
// goes out in clock packets, and after it, with the sign preview showing what
// the sign got.
#include "gui/sign_preview_widget.h"
#include "main_window_rig.h"
#include "screenshot.h"
#include "signfeed/composer.h"
#include "signfeed/sign_protocol.h"

#include <QGuiApplication>

namespace orlavo::gui {
namespace {

using signfeed::Field;

TEST(MainWindowScreenshot, SendingAndSentWithTheSignPreview)
{
    EXPECT_EQ(QGuiApplication::platformName(), "xcb") << "the screenshots are made on a real X server";
    testing::WindowRig rig(
        "[CommMethod]\r\nREMOTEIP=127.0.0.1\r\nRGBdisplay=1\r\n[AccessPoint]\r\n"
        "ACCESSPOINTIP0=http://127.0.0.1:8080/harbour.xml\r\n");
    rig.window.resize(820, 660);
    rig.program.window().setText(Field::Trss, "Ferries run again after the storm \r\nNew bridge opens on Monday \r\n"
                                              "Harbour festival draws record crowds \r\n");
    rig.program.window().setText(Field::Label18, "14:05");
    rig.program.window().showLastUpdateIfAny();
    const std::string frame = signfeed::buildSignFrame(signfeed::buildTextBody(
        {"3", "4", true,
         signfeed::buildMessageSegment('C', "Ferries run again after the storm") +
             signfeed::buildMessageSegment('F', "New bridge opens on Monday") +
             signfeed::buildMessageSegment('g', "Harbour festival draws record crowds")}));
    QImage sending;
    int pauses = 0;
    std::function<void()> grabOnce = [&] {
        if (++pauses == 3) {
            sending = testing::saveScreenshot(rig.window, QStringLiteral("main-window-sending"));
        } else {
            rig.loop.post(grabOnce);
        }
    };
    rig.loop.post(grabOnce);
    rig.program.link().sendFrame(frame, true, 1000);
    ASSERT_FALSE(sending.isNull());
    EXPECT_TRUE(testing::looksPainted(sending));
    EXPECT_EQ(rig.preview.progressText(), "");
    ASSERT_TRUE(rig.preview.shown().has_value());
    EXPECT_EQ(rig.preview.shown()->messages.size(), 3U);

    const QImage sent = testing::saveScreenshot(rig.window, QStringLiteral("main-window"));
    EXPECT_TRUE(testing::looksPainted(sent));
    EXPECT_GT(rig.window.preview()->paints(), 0);
    EXPECT_EQ(sent.size(), rig.window.size() * rig.window.devicePixelRatio());
}

}  // namespace
}  // namespace orlavo::gui
