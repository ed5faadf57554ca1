#include "feedcomp/body.h"

#include "feedcomp/large_pages.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

namespace pellix::detail {

Body::~Body()
{
    clear();
}

Body::Body(Body&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

Body& Body::operator=(Body&& other) noexcept
{
    if (this != &other) {
        clear();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

void Body::clear()
{
    // A large body's memory goes back between downloads.
    if (m_data != nullptr) {
        freeLarge(m_data, m_capacity);
    }
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

bool Body::reserve(std::size_t total)
{
    return total <= m_capacity || grow(total);
}

bool Body::append(std::string_view chunk)
{
    if (chunk.size() > m_capacity - m_size && !makeRoom(chunk.size())) {
        return false;
    }
    std::copy(chunk.begin(), chunk.end(), m_data + m_size);
    m_size += chunk.size();
    return true;
}

std::span<char> Body::tail(std::size_t wanted)
{
    if (wanted > m_capacity - m_size && !makeRoom(wanted)) {
        return {};
    }
    return {m_data + m_size, wanted};
}

// Doubles, as a string would, so that a body of unknown length is copied a
// bounded number of times.
bool Body::makeRoom(std::size_t bytes)
{
    if (bytes > std::numeric_limits<std::size_t>::max() / 2 - m_capacity) {
        return false;
    }
    return grow(std::max(m_size + bytes, 2 * m_capacity));
}

void Body::commit(std::size_t bytes)
{
    m_size += std::min(bytes, m_capacity - m_size);
}

// Blocks of 4 MiB and more are mapped for large pages (allocateLarge): filled
// in 4 KiB pages, a 100 MiB body costs tens of thousands of page faults.
bool Body::grow(std::size_t needed)
{
    char* next = nullptr;
    try {
        next = static_cast<char*>(allocateLarge(needed));
    } catch (const std::bad_alloc&) {
        return false;  // the body runs on an event loop's callback: nothing may be thrown through it
    }
    if (m_size > 0) {
        std::copy_n(m_data, m_size, next);
    }
    const std::size_t size = m_size;
    clear();
    m_data = next;
    m_size = size;
    m_capacity = needed;
    return true;
}

std::string CrlfConverter::convert(std::string_view piece)
{
    std::string out;
    out.reserve(piece.size() + static_cast<std::size_t>(std::count(piece.begin(), piece.end(), '\n')));
    for (char c : piece) {
        if (c == '\n' && !m_afterCr) {
            out += '\r';
        }
        out += c;
        m_afterCr = c == '\r';
    }
    return out;
}

std::string toCrlf(std::string_view text)
{
    CrlfConverter converter;
    return converter.convert(text);
}

}  // namespace pellix::detail
