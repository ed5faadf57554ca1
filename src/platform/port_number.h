#pragma once
// Which numbers are ports: 0 lets the system choose when binding; a peer, a
// server or a port the user names must be 1 to 65535.
namespace orlavo::platform {

inline constexpr long long kMaxPort = 65535;

[[nodiscard]] constexpr bool isBindablePort(long long n)
{
    return n >= 0 && n <= kMaxPort;
}

[[nodiscard]] constexpr bool isServicePort(long long n)
{
    return n >= 1 && n <= kMaxPort;
}

}  // namespace orlavo::platform
