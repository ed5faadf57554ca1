#pragma once
// The body of one response, its bytes kept in one buffer as they arrive: a
// reader takes them as they are, with no join, and decoding happens over the
// whole body, so a character split across two reads is never broken.
#include "pellix/export.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::detail {

class Body {
public:
    void clear();
    void append(std::string_view chunk);
    [[nodiscard]] std::int64_t size() const { return static_cast<std::int64_t>(m_bytes.size()); }
    [[nodiscard]] bool empty() const { return m_bytes.empty(); }
    [[nodiscard]] const std::string& bytes() const { return m_bytes; }

private:
    void grow(std::size_t needed);

    std::string m_bytes;
};

// Turns each LF not preceded by CR into CR LF, piece by piece: whether the
// previous piece ended in CR is carried over.
class CrlfConverter {
public:
    [[nodiscard]] std::string convert(std::string_view piece);

private:
    bool m_afterCr = false;
};

// Exported for the tools, which turn a feed file into the text a download would give.
[[nodiscard]] PELLIX_API std::string toCrlf(std::string_view text);

}  // namespace pellix::detail
