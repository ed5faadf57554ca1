// Following redirects, for hosts that turned FollowRedirects on: each hop is
// a new request on the same control, and the hops' status texts are kept so
// the final OnFinish still tells the whole way.
#include "feedcomp/download_engine.h"

#include "feedcomp/url.h"

namespace pellix {

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

void RSSComp::Engine::resetRedirects()
{
    m_hops = 0;
    m_redirectTrail.clear();
    m_movedUrl.clear();
}

bool RSSComp::Engine::followRedirect()
{
    if (!m_followRedirects || !isRedirect(m_statusCode) || m_location.empty()) {
        return false;
    }
    // 301-303 carry their Location line already; 307 and 308 get it here.
    std::string hopText = m_statusText;
    if (m_statusCode > 303) {
        hopText += "Location: " + m_location;
    }
    m_redirectTrail += hopText + "; ";
    const auto next = detail::resolveLocation(m_url, m_location);
    std::string why;
    if (m_hops == kMaxRedirects) {
        why = "more than " + std::to_string(kMaxRedirects) + " redirects";
    } else if (!next) {
        why = "the Location is empty";
    } else if (detail::hasControlByte(*next)) {
        // Refused before it becomes the requested URL, which hosts print.
        why = "the Location holds a control character";
    } else if (detail::splitUrl(m_url).parts.secure && !detail::splitUrl(*next).parts.secure) {
        why = "an https:// feed may not move to plain http://";
    }
    if (!why.empty()) {
        finish(toInt(ResultCode::RedirectFailed), "The redirect was not followed: " + why + ". " + m_redirectTrail,
               false);
        return true;
    }
    const bool permanentSoFar = m_hops == 0 || !m_movedUrl.empty();
    const std::int32_t status = m_statusCode;
    ++m_hops;
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    if (!disconnect(true) || generation != m_generation) {
        return true;  // a handler released the control or started anew
    }
    m_movedUrl = permanentSoFar && isPermanent(status) ? *next : std::string();
    resetDownload();
    std::string text;
    const std::int32_t result = startRequest(*next, text);
    if (!alive.expired() && generation == m_generation && result != toInt(ResultCode::Ok)) {
        finish(toInt(ResultCode::RedirectFailed), "The redirect to " + *next + " failed: " + text + " " + m_redirectTrail,
               false);
    }
    return true;
}

}  // namespace pellix
