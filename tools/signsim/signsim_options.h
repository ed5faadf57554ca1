#pragma once
// signsim's command line: which address, ports and serial line to listen on.
#include <string>
#include <vector>

namespace orlavo::signsim {

struct Options {
    std::string bindAddress;  // empty: every local address
    int port = 16000;
    int discoveryPort = 16001;
    // What the answer to a discovery probe says; empty: derived from the bind address.
    std::string mac;           // 12 hex digits
    std::string replyAddress;  // dotted IPv4
    std::string name = "signsim";
    std::string serialDevice;  // an existing device to read
    bool serialPty = false;    // create a pseudo-terminal to read
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParseResult {
    Options options;
    std::string error;  // set when the command line is refused
};

[[nodiscard]] ParseResult parseOptions(const std::vector<std::string>& args);
[[nodiscard]] const char* usageText();

}  // namespace orlavo::signsim
