// "orlavod compose": the bytes one update would send for a settings file and
// a feed file, without touching either.
#include "compose_command.h"

#include "capture_links.h"
#include "stderr_sink.h"

#include "feedcomp/body.h"
#include "feedcomp/rss_document.h"
#include "orlavo_version.h"
#include "platform/whole_file.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "signfeed/composer.h"
#include "signfeed/main_window_model.h"

#include <fmt/format.h>

#include <cstdio>

namespace orlavo::tools {

std::string escapeWireBytes(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (b >= 0x20 && b <= 0x7E) {
            out += c;
        } else {
            out += fmt::format("\\x{:02x}", b);
        }
    }
    return out;
}

int runCompose(const std::filesystem::path& settingsPath, const std::filesystem::path& feedPath)
{
    std::optional<std::string> feed = platform::readWholeFile(feedPath);
    if (!feed) {
        std::fprintf(stderr, "orlavod: cannot read feed file %s\n", feedPath.c_str());
        return 2;
    }
    // The start-up writes go to a copy in memory; the file on disk stays as it was.
    platform::MemoryProfileFile settings(platform::readWholeFile(settingsPath));
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    Transmissions sent;
    CaptureUdp udp(sent);
    CaptureSerial serial(sent);
    StderrSink sink;
    signfeed::MainWindowModel window(signfeed::MainWindowDeps{clock, loop, settings, udp, serial, sink},
                                     signfeed::MainWindowOptions{0, ORLAVO_VERSION});
    window.load();
    signfeed::SignLink link(clock, loop, udp, serial, sink);
    link.setLinkSelectionSource([&window] {
        return signfeed::LinkSelection{window.checked(signfeed::Field::Check1),
                                       window.checked(signfeed::Field::Check2)};
    });
    signfeed::Composer composer(window, link, clock);
    // The text a finished download hands the parser: decoded once, every bare LF made CR LF.
    const std::string text = pellix::detail::toCrlf(pellix::detail::decodeFeedBytes(*feed));
    composer.run(
        [&text](bool strip, std::int32_t& n) {
            auto parsed = pellix::detail::parseDocument(text, strip);
            n = parsed.itemCount > 0 ? parsed.itemCount : 0;
            return parsed.itemCount > 0 ? parsed.document : nullptr;
        },
        signfeed::DownloadOutcome{true, 200, "OK"});
    for (const std::string& unit : sent) {
        std::printf("%s\n", escapeWireBytes(unit).c_str());
    }
    return 0;
}

}  // namespace orlavo::tools
