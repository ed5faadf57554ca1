#pragma once
// The body of one response, its bytes kept in one buffer as they arrive: a
// reader takes them as they are, with no join, and decoding happens over the
// whole body, so a character split across two reads is never broken.
#include "pellix/export.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pellix::detail {

class Body {
public:
    Body() = default;
    ~Body();
    Body(Body&& other) noexcept;
    Body& operator=(Body&& other) noexcept;
    Body(const Body&) = delete;
    Body& operator=(const Body&) = delete;

    void clear();
    // Room for a body whose length the header announced, so that it is
    // received without the buffer ever being moved. Like append and tail, it
    // never throws: false (an empty span) when the memory cannot be had, and
    // the body is left as it was.
    [[nodiscard]] bool reserve(std::size_t total);
    bool append(std::string_view chunk);
    // `wanted` bytes of free room at the end, for a receive to write into
    // directly; commit() then adds what it wrote. A body reserved at its
    // announced length plus one receive is never moved.
    [[nodiscard]] std::span<char> tail(std::size_t wanted);
    void commit(std::size_t bytes);

    [[nodiscard]] std::int64_t size() const { return static_cast<std::int64_t>(m_size); }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] std::string_view bytes() const { return {m_data, m_size}; }

private:
    [[nodiscard]] bool makeRoom(std::size_t bytes);
    [[nodiscard]] bool grow(std::size_t needed);

    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
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
