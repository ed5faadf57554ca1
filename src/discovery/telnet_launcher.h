#pragma once
// The Telnet button: the user's terminal emulator running "telnet ADDRESS
// 17000", started through a ProcessLauncher from an argument vector. The
// address is checked first, so text like "-oProxyCommand=..." never reaches
// telnet as an option. Borrows the launcher.
#include "platform/process_launcher.h"

#include <string>
#include <string_view>
#include <vector>

namespace orlavo::discovery {

enum class TelnetOutcome {
    Started,
    NothingToDo,  // empty address
    Refused,      // bad address, no terminal or telnet installed, start failed
};

struct TelnetResult {
    TelnetOutcome outcome = TelnetOutcome::NothingToDo;
    std::string message;  // for Refused: what the user should know
};

// A host name (letters, digits, hyphens; labels not starting or ending with
// "-") or a dotted address, at most 253 characters.
[[nodiscard]] bool isHostOrDottedAddress(std::string_view text);

class TelnetLauncher {
public:
    // preferredTerminal: the user's choice ($TERMINAL), tried first when set.
    explicit TelnetLauncher(platform::ProcessLauncher& launcher, std::string preferredTerminal = {});

    [[nodiscard]] TelnetResult open(std::string_view address);

private:
    // The terminal's path followed by the option after which it takes a command.
    [[nodiscard]] std::vector<std::string> terminalCommand() const;

    platform::ProcessLauncher& m_launcher;
    std::string m_preferredTerminal;
};

}  // namespace orlavo::discovery
