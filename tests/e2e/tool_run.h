#pragma once
// Running a tool to its end for an end-to-end test, and reading back what it
// printed or wrote: where signsim listens, the `orlavod compose` escapes and
// the settings file.
#include "child_process.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::testing {

struct ToolRun {
    int exitCode = -1;  // -1 when it did not end in time or died of a signal
    std::vector<std::string> out;
    std::string err;
};

// Reads stdout and stderr to their end and waits for the exit status, all
// within one deadline; a tool still running then is killed by the caller's
// ChildProcess.
[[nodiscard]] ToolRun finishRun(ChildProcess& child, int timeoutMs);
[[nodiscard]] ToolRun runTool(const std::vector<std::string>& argv, int timeoutMs);

struct SignsimAddress {
    int port = -1;
    std::string pty;  // empty without --serial-pty
};

// Reads signsim's stderr until the port on 127.0.0.2 (and the pseudo-terminal
// when withPty) is known, as it reports them before it reads anything; what
// was found so far when a line does not come within timeoutMs.
[[nodiscard]] SignsimAddress waitUntilListening(ChildProcess& signsim, bool withPty, int timeoutMs);

// One line of `orlavod compose` back to wire bytes: "\\" and "\xHH" are one
// byte each, everything else is itself.
[[nodiscard]] std::string unescapeComposeLine(std::string_view line);

// "SECTION/KEY" (both upper case, as the file's keys are case-blind) to value.
using IniEntries = std::map<std::string, std::string>;
[[nodiscard]] IniEntries parseIni(std::string_view bytes);

}  // namespace orlavo::testing
