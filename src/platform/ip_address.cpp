#include "platform/ip_address.h"

#include <arpa/inet.h>

#include <cstring>

namespace pellix {

bool IpAddress::isLoopback() const
{
    if (!v6) {
        return bytes[0] == 127;
    }
    for (std::size_t i = 0; i < 15; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return bytes[15] == 1;
}

std::string IpAddress::text() const
{
    char buffer[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), buffer, sizeof buffer);
    return buffer;
}

std::optional<IpAddress> parseIpLiteral(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN) {
        return std::nullopt;
    }
    std::string copy(text);
    IpAddress address;
    if (::inet_pton(AF_INET, copy.c_str(), address.bytes.data()) == 1) {
        return address;
    }
    address.v6 = true;
    if (::inet_pton(AF_INET6, copy.c_str(), address.bytes.data()) == 1) {
        return address;
    }
    return std::nullopt;
}

}  // namespace pellix
