#include "gui/announce_bar.h"
#include "main_window_rig.h"

#include <pellix/parse.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace orlavo::testing {
namespace {

TEST(AnnounceBar, TypedTextGoesToTheSignUntilTheButtonEndsIt)
{
    WindowRig rig("[CommMethod]\r\nEMBEDDED=0\r\n");  // whole frames
    // Headlines on the sign first: its end brings them back, with no download.
    rig.program.composer().run(
        [](bool strip, std::int32_t& n) {
            pellix::ParsedFeed parsed =
                pellix::ParseFeed("<rss><channel><item><title>Headline</title></item></channel></rss>", strip);
            n = parsed.items;
            return parsed.file;
        },
        {true, 200, "OK"});
    auto* bar = rig.window.findChild<gui::AnnounceBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minutesField()->value(), 10);

    QTest::mouseClick(bar->button(), Qt::LeftButton);
    ASSERT_EQ(rig.sink.messages().size(), 1U) << "an empty text is refused";
    EXPECT_NE(rig.sink.messages().back().text.find("the announcement is empty"), std::string::npos);

    rig.clickAndType(*bar->minutesField(), "5", Qt::Key_Tab);
    rig.clickAndType(*bar->textField(), "Fire drill", Qt::Key_Return);
    ASSERT_FALSE(rig.udp.sentBytes().empty());
    EXPECT_NE(rig.udp.sentBytes().back().find("~FDBFire drill| "), std::string::npos);
    EXPECT_EQ(bar->button()->text(), "&End Announcement");
    EXPECT_EQ(rig.program.announcement().remainingMs(), 5 * 60'000 - 1000) << "less its frame's pause";
    EXPECT_FALSE(bar->minutesField()->isEnabled());

    QTest::mouseClick(bar->button(), Qt::LeftButton);
    EXPECT_FALSE(rig.program.announcement().active());
    EXPECT_NE(rig.udp.sentBytes().back().find("Headline"), std::string::npos) << "the headlines are back";
    EXPECT_EQ(bar->button()->text(), "Announce");
}

}  // namespace
}  // namespace orlavo::testing
