// The desktop program's figures on the offscreen platform, put together as
// src/gui/main.cpp does (DesktopProgram over a settings file this bench
// writes): start to the main window's first paint, the longest gap between
// paints while a frame goes out in clock packets to a loopback UDP port, and
// resident memory after start and after that update. Feeds come from a
// loopback HTTP server in this process; nothing leaves 127.0.0.1.
//   gui_bench [--packets N] [--json]
#include "gui/desktop_program.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <iterator>
#include <thread>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point g_mainEntry = Clock::now();

double msSince(Clock::time_point from, Clock::time_point to = Clock::now())
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') {
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
        }
    }
    return -1;
}

// Milliseconds from the process's start (the kernel's record, 10 ms steps) to
// now on the boot clock: what main()'s own clock misses (exec, loading).
double msSinceExec()
{
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = stat.rfind(')');
    // Field 22 (starttime); fields 3 on follow the closing parenthesis.
    for (int field = 2; field < 22 && at != std::string::npos; ++field) {
        at = stat.find(' ', at + 1);
    }
    const double startS = std::strtod(stat.c_str() + at + 1, nullptr) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - startS) * 1000;
}

int boundSocket(int type, int& port)
{
    int fd = ::socket(AF_INET, type, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::perror("gui_bench: bind");
        std::exit(1);
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

// Ten items whose titles fill about `packets` clock packets of 30 characters;
// the bench reports the datagrams the sign got.
std::string feedBody(int packets)
{
    const int items = 10;
    // Measured on this frame layout: titles of 8 characters give 7 datagrams
    // at the sign, titles of 110 give 38 (about 0.3 packets a character).
    const int perItem = std::max(8, 8 + ((packets - 7) * 102 + 15) / 31);
    std::string body = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Bench</title>"
                       "<link>http://127.0.0.1/</link><description>bench</description>\n";
    for (int i = 0; i < items; ++i) {
        std::string title = "Headline " + std::to_string(i) + " ";
        while (static_cast<int>(title.size()) < perItem) {
            title += "harbour news ";
        }
        title.resize(static_cast<std::size_t>(perItem));
        body += "<item><title>" + title + "</title><link>http://127.0.0.1/" + std::to_string(i) + "</link></item>\n";
    }
    return body + "</channel></rss>\n";
}

struct Paints {
    QWidget* window = nullptr;
    bool first = true;
    Clock::time_point firstPaint;
    double firstPaintSinceExecMs = -1;
    Clock::time_point last;
    bool measuring = false;
    double maxGapMs = 0;
    long during = 0;
};

class PaintFilter final : public QObject {
public:
    explicit PaintFilter(Paints& paints) : m_paints(paints) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_paints.window != nullptr) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == m_paints.window) {
                const auto now = Clock::now();
                if (m_paints.first) {
                    m_paints.first = false;
                    m_paints.firstPaint = now;
                    m_paints.firstPaintSinceExecMs = msSinceExec();
                }
                if (m_paints.measuring) {
                    m_paints.maxGapMs = std::max(m_paints.maxGapMs, msSince(m_paints.last, now));
                    ++m_paints.during;
                }
                m_paints.last = now;
            }
        }
        return false;
    }

private:
    Paints& m_paints;
};

}  // namespace

int main(int argc, char** argv)
{
    using namespace orlavo;
    int packets = 40;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--packets") == 0 && i + 1 < argc) {
            packets = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        }
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The loopback feed server and sign.
    int httpPort = 0;
    int udpPort = 0;
    const int httpFd = boundSocket(SOCK_STREAM, httpPort);
    const int udpFd = boundSocket(SOCK_DGRAM, udpPort);
    ::listen(httpFd, 8);
    const std::string body = feedBody(packets);
    std::thread http([httpFd, body] {
        for (;;) {
            int c = ::accept(httpFd, nullptr, nullptr);
            if (c < 0) {
                return;
            }
            char buf[4096];
            (void)::recv(c, buf, sizeof buf, 0);
            const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml\r\nContent-Length: " +
                                      std::to_string(body.size()) + "\r\n\r\n" + body;
            (void)::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    });
    http.detach();
    std::atomic<int> received{0};
    std::atomic<long long> firstPacketNs{0};
    std::atomic<long long> lastPacketNs{0};
    std::thread sign([udpFd, &received, &firstPacketNs, &lastPacketNs] {
        char buf[2048];
        while (::recv(udpFd, buf, sizeof buf, 0) > 0) {
            const long long now = Clock::now().time_since_epoch().count();
            if (received.fetch_add(1) == 0) {
                firstPacketNs = now;
            }
            lastPacketNs = now;
        }
    });
    sign.detach();

    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("orlavo_gui_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path settingsPath = dir / "data.ini";
    {
        std::ofstream ini(settingsPath, std::ios::binary);
        ini << "[CommMethod]\r\nREMOTEIP=127.0.0.1\r\nREMOTEPORT=" << udpPort
            << "\r\nETHERNET=1\r\nSERIAL=0\r\nEMBEDDED=1\r\n[Parameters]\r\nMESSAGES=10\r\nUPDATEPERIOD=60\r\n"
            << "[AccessPoint]\r\nACCESSPOINTIP0=http://127.0.0.1:" << httpPort << "/bench.xml\r\n";
    }

    gui::blockTerminationSignals();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    Paints paints;
    PaintFilter filter(paints);
    app.installEventFilter(&filter);

    gui::DesktopProgram program(settingsPath, nullptr);
    std::string messages;
    program.messages().setPresenter([&messages](signfeed::MessageIcon, const std::string& title, const std::string& text) {
        messages += title + ": " + text + "\n";
    });
    paints.window = &program.window();
    program.start();

    long rssStart = -1;
    long rssUpdate = -1;
    double sendMs = 0;
    bool updating = false;
    QTimer repaint;
    repaint.setInterval(16);
    QObject::connect(&repaint, &QTimer::timeout, [&program] { program.window().update(); });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (paints.first) {
            return;
        }
        if (rssStart < 0) {
            rssStart = statusKb("VmRSS");
            program.feed().cycle().requestUpdate();
            updating = true;
            repaint.start();
            return;
        }
        if (updating && !paints.measuring && received.load() > 0) {
            paints.measuring = true;  // from the first packet on
            paints.last = Clock::now();
        }
        if (updating && !program.feed().cycle().busy() && rssStart >= 0) {
            updating = false;
            paints.measuring = false;
            if (received.load() > 0) {
                sendMs = static_cast<double>(lastPacketNs.load() - firstPacketNs.load()) / 1e6;
            }
            rssUpdate = statusKb("VmRSS");
            app.quit();
        }
    });
    poll.start();
    QTimer::singleShot(packets * 1500 + 60000, &app, [&app, &messages] {
        std::fprintf(stderr, "gui_bench: timed out\n%s", messages.c_str());
        app.quit();
    });
    app.exec();
    program.finish();

    const double firstPaintMs = paints.first ? -1 : msSince(g_mainEntry, paints.firstPaint);
    const long hwm = statusKb("VmHWM");
    std::filesystem::remove_all(dir);
    if (!messages.empty()) {
        std::fprintf(stderr, "gui_bench: messages shown:\n%s", messages.c_str());
    }
    if (json) {
        std::printf("{\"first_paint_ms\":%.1f,\"first_paint_since_exec_ms\":%.0f,\"packets\":%d,\"send_ms\":%.0f,\"max_paint_gap_ms\":%.1f,"
                    "\"paints_during_send\":%ld,\"rss_start_kb\":%ld,\"rss_update_kb\":%ld,\"hwm_kb\":%ld}\n",
                    firstPaintMs, paints.firstPaintSinceExecMs, received.load(), sendMs, paints.maxGapMs, paints.during, rssStart, rssUpdate, hwm);
    } else {
        std::printf("%-44s %12s %10s\n", "figure", "measured", "goal");
        std::printf("%-44s %9.0f ms %10s\n", "main() to first paint (offscreen)", firstPaintMs, "< 1000 ms");
        std::printf("%-44s %9.0f ms %10s\n", "exec to first paint (10 ms steps)", paints.firstPaintSinceExecMs,
                    "< 1000 ms");
        char label[80];
        std::snprintf(label, sizeof label, "max paint gap, %d clock packets in %.1f s", received.load(), sendMs / 1000);
        std::printf("%-44s %9.1f ms %10s\n", label, paints.maxGapMs, "< 100 ms");
        std::printf("%-44s %8.1f MiB %10s\n", "VmRSS after start", rssStart / 1024.0, "< 80 MB");
        std::printf("%-44s %8.1f MiB %10s\n", "VmRSS after one update", rssUpdate / 1024.0, "< 80 MB");
        std::printf("%-44s %8.1f MiB %10s\n", "VmHWM (peak)", hwm / 1024.0, "< 80 MB");
    }
    const bool ok = firstPaintMs >= 0 && received.load() > 0;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(ok ? 0 : 1);
}
