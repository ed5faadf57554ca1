// Arbitrary datagrams as discovery replies, in both modes: whatever a sender
// puts in, a listed line has its fixed columns, holds no control character
// but its one tab, and reads back to a dotted address.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "discovery/discovery_protocol.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace orlavo::discovery;

void checkLine(const std::string& line, bool named)
{
    check(line.starts_with("IP: ") && line.size() >= 45 && line[19] == '\t', "line columns");
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto b = static_cast<unsigned char>(line[i]);
        check(i == 19 || (b >= 0x20 && b != 0x7F), "control character in a line");
    }
    auto reading = readListLine(line, named);
    check(reading && reading->address.size() >= 7 && reading->address.size() <= 15, "address read back");
    check(named || reading->name.empty(), "name outside named mode");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool named : {false, true}) {
        if (auto reply = parseReply(bytes, named)) {
            check(reply->ip.size() == 15, "ip field length");
            checkLine(formatListLine(*reply, named), named);
        }
    }
    return 0;
}
