#include "discovery/telnet_launcher.h"

#include "discovery/discovery_protocol.h"

#include <array>
#include <utility>

namespace orlavo::discovery {

namespace {

struct Terminal {
    const char* program;
    const char* commandOption;
};

// Debian's alternative first: it names the user's or the desktop's choice.
constexpr std::array<Terminal, 5> kTerminals{{
    {"x-terminal-emulator", "-e"},
    {"gnome-terminal", "--"},
    {"konsole", "-e"},
    {"xfce4-terminal", "-x"},
    {"xterm", "-e"},
}};

constexpr std::size_t kMaxHostLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool isLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

bool isHostOrDottedAddress(std::string_view text)
{
    if (text.empty() || text.size() > kMaxHostLength) {
        return false;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t dot = text.find('.', start);
        const std::string_view label = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (label.empty() || label.size() > kMaxLabelLength || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (char c : label) {
            if (!isLabelCharacter(c)) {
                return false;
            }
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
    return false;
}

TelnetLauncher::TelnetLauncher(platform::ProcessLauncher& launcher, std::string preferredTerminal)
    : m_launcher(launcher), m_preferredTerminal(std::move(preferredTerminal))
{
}

std::vector<std::string> TelnetLauncher::terminalCommand() const
{
    if (!m_preferredTerminal.empty()) {
        if (auto path = m_launcher.findProgram(m_preferredTerminal)) {
            return {*path, "-e"};
        }
    }
    for (const Terminal& t : kTerminals) {
        if (auto path = m_launcher.findProgram(t.program)) {
            return {*path, t.commandOption};
        }
    }
    return {};
}

TelnetResult TelnetLauncher::open(std::string_view address)
{
    if (address.empty()) {
        return {};
    }
    if (!isHostOrDottedAddress(address)) {
        return {TelnetOutcome::Refused, "\"" + std::string(address) +
                                            "\" is not a host name or a dotted address, so Telnet was not started."};
    }
    auto telnet = m_launcher.findProgram("telnet");
    if (!telnet) {
        return {TelnetOutcome::Refused,
                "No telnet client is installed. Install one (Debian: sudo apt-get install telnet) and try again."};
    }
    std::vector<std::string> argv = terminalCommand();
    if (argv.empty()) {
        return {TelnetOutcome::Refused, "No terminal emulator was found (x-terminal-emulator, gnome-terminal, "
                                        "konsole, xfce4-terminal or xterm). Install one or set TERMINAL."};
    }
    argv.insert(argv.end(), {*telnet, std::string(address), std::to_string(kTelnetPort)});
    if (auto error = m_launcher.launch(argv)) {
        return {TelnetOutcome::Refused, error->description};
    }
    return {TelnetOutcome::Started, {}};
}

}  // namespace orlavo::discovery
