// Conditional GET, for hosts that turned it on: a feed that has not changed
// costs its server a header instead of the whole body, and the host still
// gets the body it had.
#include "feedcomp/download_engine.h"

#include <algorithm>

namespace pellix {

namespace {

// Bodies kept for later 304s, all URLs together; the oldest go first.
constexpr std::int64_t kMaxRememberedBytes = 16LL * 1024 * 1024;

}  // namespace

void RSSComp::Engine::setConditional(bool on)
{
    m_conditional = on;
    if (!on) {
        m_remembered.clear();
        m_rememberedBytes = 0;
    }
}

// Runs as the next request starts, so the body moves instead of being copied
// and the host keeps reading it until then, as without conditional GET.
void RSSComp::Engine::rememberBody()
{
    // A 304 whose body was handed back is kept again for the next request.
    const bool answered = (m_statusCode >= 200 && m_statusCode <= 299) || (m_statusCode == 304 && !m_body.empty());
    const bool usable = m_conditional && m_state == State::Finished && answered;
    if (!usable || (m_lastModified.empty() && m_etag.empty()) || m_body.size() > kMaxRememberedBytes) {
        return;
    }
    if (auto old = m_remembered.find(m_url); old != m_remembered.end()) {
        m_rememberedBytes -= old->second.body.size();
        m_remembered.erase(old);
    }
    m_rememberedBytes += m_body.size();
    m_remembered[m_url] = Remembered{m_lastModified, m_etag, m_charset, std::move(m_body), ++m_rememberCount};
    while (m_rememberedBytes > kMaxRememberedBytes) {
        auto oldest = std::min_element(m_remembered.begin(), m_remembered.end(),
                                       [](const auto& a, const auto& b) { return a.second.age < b.second.age; });
        m_rememberedBytes -= oldest->second.body.size();
        m_remembered.erase(oldest);
    }
}

std::string RSSComp::Engine::conditionalHeaders() const
{
    auto it = m_conditional ? m_remembered.find(m_url) : m_remembered.end();
    if (it == m_remembered.end()) {
        return {};
    }
    std::string lines;
    if (!it->second.lastModified.empty()) {
        lines += "If-Modified-Since: " + it->second.lastModified + "\r\n";
    }
    if (!it->second.etag.empty()) {
        lines += "If-None-Match: " + it->second.etag + "\r\n";
    }
    return lines;
}

// A 304 carries no body: the remembered one stands in, with its validators,
// so the next request can be conditional again.
void RSSComp::Engine::restoreRememberedBody()
{
    auto it = m_remembered.find(m_url);
    if (it == m_remembered.end()) {
        return;
    }
    m_body = std::move(it->second.body);
    m_charset = std::move(it->second.charset);
    m_lastModified = std::move(it->second.lastModified);
    m_etag = std::move(it->second.etag);
    m_rememberedBytes -= m_body.size();
    m_remembered.erase(it);
}

}  // namespace pellix
