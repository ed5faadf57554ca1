// The preview shows what the link delivered, decoded as the sign decodes it.
#include "signfeed/sign_preview.h"
#include "sign_link_rig.h"

#include <gtest/gtest.h>

using namespace orlavo::signfeed;
using orlavo::testing::exampleFrame;
using orlavo::testing::SignLinkRig;

namespace {

std::string shownText(const SignPreview& preview)
{
    if (!preview.shown()) {
        return "(nothing)";
    }
    std::string text;
    for (const DecodedMessage& m : preview.shown()->messages) {
        text += std::string(colourName(m.colour)) + ":" + m.text + ";";
    }
    return text;
}

}  // namespace

TEST(SignPreview, ShowsWhatWentOutAndHowFarAFrameGot)
{
    struct Row {
        const char* label;
        LinkSelection links;
        bool packets;
        int udpFailure;     // every UDP send fails with it (0: none)
        bool stopMidFrame;  // stopSending() during the first wait
        std::string shown;
        std::string lastProgress;  // the last "packet k of n" seen while it went out
    };
    const Row rows[] = {
        {"whole frame on both links", {true, true}, false, 0, false, "green:Hello - World;", ""},
        {"clock packets", {true, false}, true, 0, false, "green:Hello - World;", "packet 3 of 3"},
        {"packets on both links are read once", {true, true}, true, 0, false, "green:Hello - World;",
         "packet 3 of 3"},
        {"every send refused: the sign got nothing", {true, false}, true, 10065, false, "(nothing)",
         "packet 3 of 3"},
        {"a frame cut short shows nothing", {true, false}, true, 0, true, "(nothing)", "packet 1 of 3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SignLinkRig rig(row.links);
        rig.serial.forceOpen();
        rig.udp.failAlways(row.udpFailure);
        SignPreview preview;
        rig.link.setObserver(&preview);
        std::string lastProgress;
        preview.setChangeHandler([&] {
            if (!preview.progressText().empty()) {
                lastProgress = preview.progressText();
            }
        });
        if (row.stopMidFrame) {
            rig.loop.post([&] { rig.link.stopSending(); });
        }
        rig.link.sendFrame(exampleFrame(), row.packets, 1000);
        EXPECT_EQ(shownText(preview), row.shown);
        EXPECT_EQ(lastProgress, row.lastProgress);
        EXPECT_EQ(preview.progressText(), "");
    }
}

TEST(SignPreview, AFrameAfterACutOneAndAResetAreReadAsTheSignReadsThem)
{
    SignLinkRig rig({true, false});
    SignPreview preview;
    int changes = 0;
    preview.setChangeHandler([&] { ++changes; });
    rig.link.setObserver(&preview);
    rig.loop.post([&] { rig.link.stopSending(); });
    rig.link.sendFrame(exampleFrame(), true, 1000);
    rig.link.sendFrame(exampleFrame(), true, 1000);
    EXPECT_EQ(shownText(preview), "green:Hello - World;");
    EXPECT_GT(changes, 0);
    rig.link.sendFrame(std::string(kResetFrame), false, 0);
    EXPECT_EQ(shownText(preview), "(nothing)");
}

TEST(SignPreview, ScrollSpeedFollowsTheSpeedField)
{
    EXPECT_LT(scrollPixelsPerSecond("1"), scrollPixelsPerSecond("2"));
    EXPECT_LT(scrollPixelsPerSecond("4"), scrollPixelsPerSecond("5"));
    for (const char* odd : {"", "0", "6", "abc", "12"}) {
        EXPECT_EQ(scrollPixelsPerSecond(odd), scrollPixelsPerSecond("1")) << odd;
    }
}
