#include "signsim_address.h"

namespace orlavo::testing {

SignsimAddress waitUntilListening(ChildProcess& signsim, bool withPty, int timeoutMs)
{
    SignsimAddress address;
    while (address.port < 0 || (withPty && address.pty.empty())) {
        auto line = signsim.readStderrLine(timeoutMs);
        if (!line) {
            break;
        }
        // Only the frame port: the discovery port is reported on a line of its own.
        auto at = line->find("127.0.0.2:");
        if (at != std::string::npos && line->find("listening for frames") != std::string::npos) {
            address.port = std::stoi(line->substr(at + 10));
        }
        if (auto pts = line->find("/dev/pts/"); pts != std::string::npos) {
            address.pty = line->substr(pts);
        }
    }
    return address;
}

}  // namespace orlavo::testing
