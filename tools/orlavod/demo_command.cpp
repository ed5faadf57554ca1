#include "demo_command.h"

#include "demo_feed_data.h"
#include "demo_feed_server.h"
#include "demo_sign.h"
#include "headless_program.h"
#include "loopback_only_udp.h"
#include "system_ports.h"

#include "platform/code_page.h"
#include "shared/settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace orlavo::tools {

namespace {

namespace fs = std::filesystem;

// A private directory for the demo's settings file, removed at the end.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/orlavo-demo-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempDir()
    {
        if (!m_path.empty()) {
            std::error_code ec;
            fs::remove_all(m_path, ec);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// The sign emulator prefers a second loopback address, so the demo shows the
// sign as a separate device; 127.0.0.1 serves where that is not available.
std::optional<platform::SysError> listenOnLoopback(DemoSign& sign)
{
    if (!sign.listen("127.0.0.2")) {
        return std::nullopt;
    }
    return sign.listen("127.0.0.1");
}

std::optional<platform::SysError> writeDemoSettings(platform::ProfileFile& settings, const std::string& feedUrl,
                                                    const DemoSign& sign)
{
    using namespace signfeed;
    const std::pair<SettingKey, std::string> values[] = {
        {key::kRemoteIp, sign.address()},
        {key::kRemotePort, std::to_string(sign.port())},
        {key::kEthernet, "1"},
        {key::kSerial, "0"},
        {key::kEmbedded, "0"},
        {key::kRssListOp0, "1"},
        {key::kRssListOp1, "0"},
        {feedSlotKey(0), feedUrl},
    };
    for (const auto& [key, value] : values) {
        if (auto error = writeIni(settings, key.section, key.key, value)) {
            return error;
        }
    }
    return std::nullopt;
}

}  // namespace

int runDemo()
{
    TempDir dir;
    if (dir.path().empty()) {
        std::fprintf(stderr, "orlavod: demo: cannot create a temporary directory\n");
        return 2;
    }
    SystemPorts system(dir.path() / "data.ini");
    DemoFeedServer server(system.loop, std::string(demoFeedBytes()));
    DemoSign sign(system.loop);
    if (auto error = server.listen()) {
        std::fprintf(stderr, "orlavod: demo: %s\n", error->description.c_str());
        return 2;
    }
    if (auto error = listenOnLoopback(sign)) {
        std::fprintf(stderr, "orlavod: demo: sign emulator: %s\n", error->description.c_str());
        return 2;
    }
    const std::string feedUrl = "http://127.0.0.1:" + std::to_string(server.port()) + "/demo_feed.xml";
    if (auto error = writeDemoSettings(system.settings, feedUrl, sign)) {
        std::fprintf(stderr, "orlavod: demo: cannot write the settings: %s\n", error->description.c_str());
        return 2;
    }
    std::fprintf(stderr, "orlavod: demo feed at %s, sign emulator at %s:%d\n", feedUrl.c_str(),
                 sign.address().c_str(), sign.port());

    LoopbackOnlyUdp guardedUdp(system.udp);
    FeedProgram program(ProgramPorts{system.clock, system.loop, system.settings, guardedUdp, system.serial,
                                         system.connectivity, system.sink});
    StatusPrinter printer(program.window());
    program.window().setListener(&printer);
    program.load();
    program.runOneUpdate();
    // The datagrams are on loopback already; let the emulator read them.
    for (int round = 0; round < 50 && sign.shown().empty(); ++round) {
        system.loop.runOnce(20);
    }
    program.window().setListener(nullptr);
    program.close();

    if (sign.shown().empty()) {
        std::fprintf(stderr, "orlavod: demo: the sign emulator received no message\n");
        for (const std::string& why : sign.errors()) {
            std::fprintf(stderr, "orlavod: demo: sign emulator: %s\n", why.c_str());
        }
        return 1;
    }
    std::printf("The sign shows:\n");
    for (const std::string& line : sign.shown()) {
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

}  // namespace orlavo::tools
