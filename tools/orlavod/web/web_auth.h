#pragma once
// The token that guards the API: from the Authorization header or from the
// cookie the login sets. Read-only once built, so any server thread may ask.
#include "web/web_exchange.h"

#include <string>
#include <string_view>

namespace orlavo::tools {

inline constexpr std::string_view kTokenCookie = "orlavo_token";

class WebAuth {
public:
    // An empty token lets everyone in (the listener is loopback only).
    WebAuth(std::string token, bool secure) : m_token(std::move(token)), m_secure(secure) {}

    [[nodiscard]] bool open() const { return m_token.empty(); }
    [[nodiscard]] bool allows(const WebRequest& request) const;
    [[nodiscard]] bool matches(std::string_view candidate) const;
    // The Set-Cookie value that keeps the token in the browser.
    [[nodiscard]] std::string cookie() const;

private:
    std::string m_token;
    bool m_secure;
};

// The value of name in a Cookie header; empty when absent.
[[nodiscard]] std::string_view cookieValue(std::string_view header, std::string_view name);

}  // namespace orlavo::tools
