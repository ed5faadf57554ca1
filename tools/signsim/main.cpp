// signsim: stands in for an LED message sign. Receives frames and clock
// packets over UDP and/or a serial line and prints what the sign would show.
#include "signsim_options.h"

#include "discovery/discovery_protocol.h"
#include "platform/clock.h"
#include "platform/poll_event_loop.h"
#include "platform/posix_udp_endpoint.h"
#include "platform/serial_listener.h"
#include "platform/terminal.h"
#include "signfeed/sign_decoder.h"
#include "signfeed/sign_stream_decoder.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace {

using orlavo::signfeed::SignCommand;
using orlavo::signfeed::SignStreamDecoder;

// Senders tracked at once on UDP; each has its own reassembly so packets of
// two programs never mix. Past the limit the table starts afresh.
constexpr std::size_t kMaxUdpSenders = 16;

void printStatus(const std::string& text)
{
    std::fprintf(stderr, "signsim: %s\n", text.c_str());
    std::fflush(stderr);
}

class Display {
public:
    Display(bool colours, bool verbose) : m_colours(colours), m_verbose(verbose) {}

    std::unique_ptr<SignStreamDecoder> makeDecoder(const std::string& source)
    {
        return std::make_unique<SignStreamDecoder>(
            [this, source](const SignCommand& command) { show(source, command); },
            [source](std::string_view why) { printStatus(source + ": " + std::string(why)); });
    }

private:
    void show(const std::string& source, const SignCommand& command)
    {
        if (m_verbose && command.kind == SignCommand::Kind::TextMessage) {
            printStatus(source + ": text message, speed " + command.speed + ", intensity " +
                        (command.intensityCode.empty() ? "none" : command.intensityCode) +
                        (command.smartDisplay ? ", Smart LED Display" : "") + ", " +
                        std::to_string(command.messages.size()) + " message(s)");
        }
        // One line per message set, flushed: readers sit on the other end of a pipe.
        std::string line = orlavo::signfeed::formatCommandLine(command, m_colours) + "\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

    bool m_colours;
    bool m_verbose;
};

// The answer a sign gives to the discovery probe, from the options; on
// failure, which option cannot be put in it.
std::optional<std::string> probeAnswer(const orlavo::signsim::Options& options, std::string& error)
{
    const bool replyGiven = !options.replyAddress.empty();
    std::string address = replyGiven                       ? options.replyAddress
                          : !options.bindAddress.empty() ? options.bindAddress
                                                         : "127.0.0.1";
    if (!orlavo::discovery::buildReply("000000000000", address, options.name)) {
        error = std::string(replyGiven ? "--reply-address" : "--bind") + " needs a dotted IPv4 address, not \"" +
                address + "\"";
        return std::nullopt;
    }
    std::string mac = options.mac;
    if (mac.empty()) {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4) {
            char text[13];
            std::snprintf(text, sizeof text, "0050C2%02X%02X%02X", b & 0xFF, c & 0xFF, d & 0xFF);
            mac = text;
        }
    }
    std::optional<std::string> answer = orlavo::discovery::buildReply(mac, address, options.name);
    if (!answer) {
        error = "--mac needs 12 hex digits, not \"" + options.mac + "\"";
    }
    return answer;
}

void answerProbe(orlavo::platform::PosixUdpEndpoint& udp, const std::string& answer, const std::string& from,
                 int fromPort)
{
    auto error = udp.setRemote(from, fromPort);
    if (!error) {
        error = udp.send(answer);
    }
    printStatus(error ? "cannot answer the discovery probe from " + from + ": " + error->description
                      : "answered a discovery probe from " + from + ":" + std::to_string(fromPort));
}

void listenForProbes(const orlavo::signsim::Options& options, orlavo::platform::PosixUdpEndpoint& udp,
                     const std::string& answer)
{
    udp.setReceiveHandler([&udp, &answer](std::string datagram, std::string from, int fromPort) {
        if (datagram == orlavo::discovery::kDiscoveryProbe) {
            answerProbe(udp, answer, from, fromPort);
        }
    });
    if (auto error = udp.bind(options.bindAddress, options.discoveryPort)) {
        printStatus("discovery probes go unanswered: " + error->description);
        return;
    }
    std::string address = options.bindAddress.empty() ? "0.0.0.0" : options.bindAddress;
    printStatus("answering discovery probes on UDP " + address + ":" + std::to_string(udp.localPort()));
}

int listenUdp(const orlavo::signsim::Options& options, orlavo::platform::PosixUdpEndpoint& udp,
              Display& display, std::map<std::string, std::unique_ptr<SignStreamDecoder>>& decoders,
              const std::string& answer)
{
    const bool sharedPort = options.discoveryPort == options.port;
    udp.setReceiveHandler([&, sharedPort](std::string datagram, std::string from, int fromPort) {
        // Old firmware takes probes on its frame port: a probe is no frame.
        if (sharedPort && datagram == orlavo::discovery::kDiscoveryProbe) {
            answerProbe(udp, answer, from, fromPort);
            return;
        }
        std::string source = "udp " + from + ":" + std::to_string(fromPort);
        auto it = decoders.find(source);
        if (it == decoders.end()) {
            if (decoders.size() >= kMaxUdpSenders) {
                decoders.clear();
            }
            it = decoders.emplace(source, display.makeDecoder(source)).first;
        }
        it->second->feed(datagram);
    });
    std::string address = options.bindAddress.empty() ? "0.0.0.0" : options.bindAddress;
    if (auto error = udp.bind(options.bindAddress, options.port)) {
        printStatus("cannot listen for frames on UDP " + address + ":" + std::to_string(options.port) + ": " +
                    std::strerror(error->number));
        return 1;
    }
    printStatus("listening for frames on UDP " + address + ":" + std::to_string(udp.localPort()));
    if (sharedPort) {
        printStatus("answering discovery probes on UDP " + address + ":" + std::to_string(udp.localPort()));
    }
    return 0;
}

int listenSerial(const orlavo::signsim::Options& options, orlavo::platform::SerialListener& serial,
                 std::unique_ptr<SignStreamDecoder>& decoder, Display& display)
{
    auto error = options.serialPty ? serial.openPseudoTerminal() : serial.openDevice(options.serialDevice);
    if (error) {
        printStatus(error->description);
        return 1;
    }
    decoder = display.makeDecoder("serial " + serial.devicePath());
    serial.setHandlers([&decoder](std::string bytes) { decoder->feed(bytes); },
                       [](orlavo::platform::SysError failure) { printStatus(failure.description); });
    printStatus((options.serialPty ? "serial line on pseudo-terminal " : "reading serial line ") +
                serial.devicePath());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    auto parsed = orlavo::signsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "signsim: %s\n%s", parsed.error.c_str(), orlavo::signsim::usageText());
        return 2;
    }
    const auto& options = parsed.options;
    if (options.help) {
        std::fputs(orlavo::signsim::usageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("signsim %s\n", ORLAVO_VERSION);
        return 0;
    }

    orlavo::platform::SystemClock clock;
    orlavo::platform::PollEventLoop loop(clock);
    Display display(orlavo::platform::stdoutIsTerminal(), options.verbose);
    std::string answerError;
    std::optional<std::string> answer = probeAnswer(options, answerError);
    if (!answer) {
        std::fprintf(stderr, "signsim: %s\n%s", answerError.c_str(), orlavo::signsim::usageText());
        return 2;
    }
    orlavo::platform::PosixUdpEndpoint udp(loop);
    std::map<std::string, std::unique_ptr<SignStreamDecoder>> udpDecoders;
    if (int rc = listenUdp(options, udp, display, udpDecoders, *answer); rc != 0) {
        return rc;
    }
    orlavo::platform::PosixUdpEndpoint discoveryUdp(loop);
    if (options.discoveryPort != options.port) {
        listenForProbes(options, discoveryUdp, *answer);
    }
    orlavo::platform::SerialListener serial(loop);
    std::unique_ptr<SignStreamDecoder> serialDecoder;
    if (options.serialPty || !options.serialDevice.empty()) {
        if (int rc = listenSerial(options, serial, serialDecoder, display); rc != 0) {
            return rc;
        }
    }
    loop.run();
    return 0;
}
