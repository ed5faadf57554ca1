#pragma once
// The body of one response, kept as the chunks it arrived in. Joining and
// decoding happen once, when someone reads it, so a character split across
// two reads is never broken.
#include "pellix/export.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::detail {

class Body {
public:
    void clear();
    void append(std::string chunk);
    [[nodiscard]] std::int64_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] const std::vector<std::string>& chunks() const { return m_chunks; }
    [[nodiscard]] std::string joined() const;

private:
    std::vector<std::string> m_chunks;
    std::int64_t m_size = 0;
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
