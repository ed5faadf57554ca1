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
        if (auto at = line->find("127.0.0.2:"); at != std::string::npos) {
            address.port = std::stoi(line->substr(at + 10));
        }
        if (auto at = line->find("/dev/pts/"); at != std::string::npos) {
            address.pty = line->substr(at);
        }
    }
    return address;
}

}  // namespace orlavo::testing
