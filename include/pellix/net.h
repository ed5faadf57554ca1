#pragma once
// An IPv4 or IPv6 address as the resolver hands it to the connector. Kept free
// of socket headers so feedcomp can hold one without touching the OS.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};  // IPv4 uses the first four

    [[nodiscard]] bool isLoopback() const;
    [[nodiscard]] std::string text() const;
    friend bool operator==(const IpAddress&, const IpAddress&) = default;
};

// Dotted IPv4 or textual IPv6 (brackets allowed); nullopt for anything else.
[[nodiscard]] std::optional<IpAddress> parseIpLiteral(std::string_view text);

}  // namespace orlavo::platform
