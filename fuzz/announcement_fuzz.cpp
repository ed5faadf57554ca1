// Feeds arbitrary bytes to the reader of a kept announcement file, and checks
// what the start-up relies on: a file that reads as an announcement writes
// back as the same one, and its text as the sign gets it holds no "~" and no
// control character and is valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "signfeed/announcement.h"
#include "signfeed/announcement_file.h"

#include "fuzz_check.h"

using namespace orlavo;
using orlavo::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = signfeed::announcementText(bytes);
    check(platform::decodeUtf8OrCp1252(shown) == shown, "the sign's text is not valid UTF-8");
    for (unsigned char c : shown) {
        check(c >= 0x20 && c != 0x7F && c != '~', "a control character or a tilde reaches the sign");
    }
    const auto kept = signfeed::parseAnnouncementFile(bytes);
    if (!kept) {
        return 0;
    }
    const auto again = signfeed::parseAnnouncementFile(signfeed::formatAnnouncementFile(*kept));
    check(again && again->text == kept->text, "a kept announcement does not read back");
    check(signfeed::secondsBetween(kept->until, again->until) == 0, "a kept end does not read back");
    return 0;
}
