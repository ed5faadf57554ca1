#include "feedcomp/redirect_follower.h"

#include "feedcomp/url.h"

namespace pellix::detail {

namespace {

// Hops after the first request; a sixth redirect ends the download.
constexpr int kMaxRedirects = 5;

bool isRedirect(std::int32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isPermanent(std::int32_t status)
{
    return status == 301 || status == 308;
}

}  // namespace

void RedirectFollower::reset()
{
    m_hops = 0;
    m_trail.clear();
    m_movedUrl.clear();
}

RedirectStep RedirectFollower::consider(const std::string& url, std::int32_t status, const std::string& statusText,
                                        const std::string& location)
{
    if (!m_enabled || !isRedirect(status) || location.empty()) {
        return {};
    }
    // 301-303 carry their Location line already; 307 and 308 get it here.
    std::string hopText = statusText;
    if (status > 303) {
        hopText += "Location: " + location;
    }
    m_trail += hopText + "; ";
    const auto next = resolveLocation(url, location);
    std::string why;
    if (m_hops == kMaxRedirects) {
        why = "more than " + std::to_string(kMaxRedirects) + " redirects";
    } else if (!next) {
        why = "the Location is empty";
    } else if (hasControlByte(*next)) {
        // Refused before it becomes the requested URL, which hosts print.
        why = "the Location holds a control character";
    } else if (splitUrl(url).parts.secure && !splitUrl(*next).parts.secure) {
        why = "an https:// feed may not move to plain http://";
    }
    if (!why.empty()) {
        return {RedirectStep::Kind::Refused, {}, "The redirect was not followed: " + why + ". " + m_trail, false};
    }
    const bool permanentSoFar = m_hops == 0 || !m_movedUrl.empty();
    ++m_hops;
    return {RedirectStep::Kind::Follow, *next, {}, permanentSoFar && isPermanent(status)};
}

void RedirectFollower::enter(const RedirectStep& step)
{
    m_movedUrl = step.moved ? step.next : std::string();
}

std::string RedirectFollower::hopFailedText(const std::string& next, const std::string& why) const
{
    return "The redirect to " + next + " failed: " + why + " " + m_trail;
}

}  // namespace pellix::detail
