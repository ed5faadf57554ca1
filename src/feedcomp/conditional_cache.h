#pragma once
// Conditional GET, for hosts that turned it on: a finished body is kept for
// the URL that was requested, offered back through the next request's
// validators, and handed back when the server answers 304.
#include "feedcomp/body.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pellix::detail {

// What a 304 needs of an earlier response: its body and what describes it.
struct ValidatedBody {
    std::string lastModified;
    std::string etag;
    std::string charset;
    Body body;
};

class ConditionalCache {
public:
    // Off forgets every kept body.
    void setEnabled(bool on);
    // Keeps a cleanly finished response for url when it can be validated;
    // the body is taken either way, as the next request clears it.
    void remember(const std::string& url, std::int32_t status, ValidatedBody response);
    // The request's If-Modified-Since / If-None-Match lines, each with CR LF.
    [[nodiscard]] std::string requestHeaders(const std::string& url) const;
    // The kept response for url, which leaves the cache.
    [[nodiscard]] std::optional<ValidatedBody> takeBack(const std::string& url);

private:
    struct Entry {
        ValidatedBody response;
        std::uint64_t age = 0;  // order of remembering, for dropping the oldest
    };
    bool m_enabled = false;
    std::map<std::string, Entry> m_entries;
    std::int64_t m_bytes = 0;
    std::uint64_t m_count = 0;
};

}  // namespace pellix::detail
