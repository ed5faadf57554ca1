#pragma once
// Where a signsim child listens, as it reports on stderr before it reads
// anything: its UDP port and, with --serial-pty, its pseudo-terminal.
#include "child_process.h"

#include <string>

namespace orlavo::testing {

struct SignsimAddress {
    int port = -1;
    std::string pty;  // empty without --serial-pty
};

// Reads signsim's stderr until the port on 127.0.0.2 (and the pseudo-terminal
// when withPty) is known; what was found so far when a line does not come
// within timeoutMs.
[[nodiscard]] SignsimAddress waitUntilListening(ChildProcess& signsim, bool withPty, int timeoutMs);

}  // namespace orlavo::testing
