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
        constexpr std::string_view kListening = "listening for frames on UDP ";
        if (auto at = line->find(kListening); at != std::string::npos) {
            address.port = std::stoi(line->substr(line->rfind(':') + 1));
        }
        if (auto pts = line->find("/dev/pts/"); pts != std::string::npos) {
            address.pty = line->substr(pts);
        }
    }
    return address;
}

}  // namespace orlavo::testing
