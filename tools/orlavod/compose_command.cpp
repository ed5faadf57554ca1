// "orlavod compose": the bytes one update would send for a settings file and
// a feed file, without touching either.
#include "compose_command.h"

#include "capture_links.h"
#include "headless_program.h"
#include "stderr_sink.h"

#include "platform/connectivity.h"
#include "platform/manual_clock.h"
#include "platform/poll_event_loop.h"
#include "platform/whole_file.h"

#include <pellix/parse.h>

#include <fmt/format.h>

#include <cstdio>
#include <utility>

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

namespace {

void composeFor(const SignEntry& sign, const std::string& linePrefix, const std::string& feed)
{
    const std::filesystem::path& settingsPath = sign.settingsPath;
    // The start-up writes go to a copy in memory; the file on disk stays as it was.
    platform::MemoryProfileFile settings(platform::readRegularFile(settingsPath, platform::kMaxProfileBytes).bytes);
    platform::ManualClock clock;
    platform::PollEventLoop loop(clock);
    Transmissions sent;
    CaptureUdp udp(sent);
    CaptureSerial serial(sent);
    StderrSink sink(linePrefix);
    platform::SystemConnectivity unused;  // nothing is downloaded
    // Port 0: composing must not take the sign port from a running program.
    FeedProgram program(ProgramPorts{clock, loop, settings, udp, serial, unused, sink}, 0);
    program.load();
    program.composer().run(
        [&feed](bool strip, std::int32_t& n) {
            // As a finished download hands the feed to the parser: every bare LF made CR LF.
            pellix::ParsedFeed parsed = pellix::ParseFeed(feed, strip, pellix::LineEnds::Crlf);
            n = parsed.items > 0 ? parsed.items : 0;
            return std::move(parsed.file);
        },
        signfeed::DownloadOutcome{true, 200, "OK"});
    for (const std::string& unit : sent) {
        std::printf("%s%s\n", linePrefix.c_str(), escapeWireBytes(unit).c_str());
    }
}

}  // namespace

int runCompose(const std::vector<SignEntry>& signs, const std::filesystem::path& feedPath)
{
    std::optional<std::string> feed = platform::readWholeFile(feedPath);
    if (!feed) {
        std::fprintf(stderr, "orlavod: cannot read feed file %s\n", feedPath.c_str());
        return 2;
    }
    for (const SignEntry& sign : signs) {
        composeFor(sign, signs.size() > 1 ? sign.name + ": " : std::string(), *feed);
    }
    return 0;
}

}  // namespace orlavo::tools
