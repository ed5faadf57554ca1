#include "web/web_auth.h"

#include "platform/ascii.h"

namespace orlavo::tools {

namespace {

// Takes as long for every candidate of a given length, so the time of a
// refusal tells nothing about how much of the token was right.
bool sameText(std::string_view a, std::string_view b)
{
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < b.size(); ++i) {
        const char mine = i < a.size() ? a[i] : '\0';
        difference |= static_cast<unsigned char>(mine ^ b[i]);
    }
    return difference == 0;
}

}  // namespace

std::string_view cookieValue(std::string_view header, std::string_view name)
{
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        std::string_view pair = platform::trimIf(header.substr(0, end), platform::isSpaceOrTab);
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return pair.substr(equals + 1);
        }
    }
    return {};
}

bool WebAuth::matches(std::string_view candidate) const
{
    return !m_token.empty() && sameText(candidate, m_token);
}

bool WebAuth::allows(const WebRequest& request) const
{
    if (open()) {
        return true;
    }
    constexpr std::string_view bearer = "Bearer ";
    const std::string_view header = request.authorization;
    if (header.size() > bearer.size() && header.substr(0, bearer.size()) == bearer &&
        matches(platform::trimIf(header.substr(bearer.size()), platform::isSpaceOrTab))) {
        return true;
    }
    const std::string_view cookie = cookieValue(request.cookie, kTokenCookie);
    return !cookie.empty() && matches(cookie);
}

std::string WebAuth::cookie() const
{
    return std::string(kTokenCookie) + "=" + m_token + "; Path=/; HttpOnly; SameSite=Strict" +
           (m_secure ? "; Secure" : "");
}

}  // namespace orlavo::tools
