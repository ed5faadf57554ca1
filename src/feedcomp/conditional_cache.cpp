// A feed that has not changed costs its server a header instead of the whole
// body, and the host still gets the body it had.
#include "feedcomp/conditional_cache.h"

#include <algorithm>

namespace pellix::detail {

namespace {

// Bodies kept for later 304s, all URLs together; the oldest go first.
constexpr std::int64_t kMaxRememberedBytes = 16LL * 1024 * 1024;

}  // namespace

void ConditionalCache::setEnabled(bool on)
{
    m_enabled = on;
    if (!on) {
        m_entries.clear();
        m_bytes = 0;
    }
}

void ConditionalCache::remember(const std::string& url, std::int32_t status, ValidatedBody response)
{
    // A 304 whose body was handed back is kept again for the next request.
    const bool answered = (status >= 200 && status <= 299) || (status == 304 && !response.body.empty());
    const bool validated = !response.lastModified.empty() || !response.etag.empty();
    if (!m_enabled || !answered || !validated || response.body.size() > kMaxRememberedBytes) {
        return;
    }
    if (auto old = m_entries.find(url); old != m_entries.end()) {
        m_bytes -= old->second.response.body.size();
        m_entries.erase(old);
    }
    m_bytes += response.body.size();
    m_entries[url] = Entry{std::move(response), ++m_count};
    while (m_bytes > kMaxRememberedBytes) {
        auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                       [](const auto& a, const auto& b) { return a.second.age < b.second.age; });
        m_bytes -= oldest->second.response.body.size();
        m_entries.erase(oldest);
    }
}

std::string ConditionalCache::requestHeaders(const std::string& url) const
{
    auto it = m_enabled ? m_entries.find(url) : m_entries.end();
    if (it == m_entries.end()) {
        return {};
    }
    std::string lines;
    if (!it->second.response.lastModified.empty()) {
        lines += "If-Modified-Since: " + it->second.response.lastModified + "\r\n";
    }
    if (!it->second.response.etag.empty()) {
        lines += "If-None-Match: " + it->second.response.etag + "\r\n";
    }
    return lines;
}

std::optional<ValidatedBody> ConditionalCache::takeBack(const std::string& url)
{
    auto it = m_entries.find(url);
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    std::optional<ValidatedBody> kept(std::move(it->second.response));
    m_bytes -= kept->body.size();
    m_entries.erase(it);
    return kept;
}

}  // namespace pellix::detail
