#include "feedcomp/body.h"

#include "feedcomp/large_pages.h"

#include <algorithm>

namespace pellix::detail {

void Body::clear()
{
    m_bytes.clear();
    m_bytes.shrink_to_fit();  // a large body's memory goes back between downloads
}

void Body::append(std::string_view chunk)
{
    if (chunk.size() > m_bytes.capacity() - m_bytes.size()) {
        grow(m_bytes.size() + chunk.size());
    }
    m_bytes.append(chunk);
}

// Doubles as the string itself would, but a large body gets its new buffer
// advised for large pages before the old bytes are copied in: filled in
// 4 KiB pages, a 100 MiB body costs tens of thousands of page faults.
void Body::grow(std::size_t needed)
{
    std::string next;
    next.reserve(std::max(needed, 2 * m_bytes.capacity()));
    adviseLargePages(next.data(), next.capacity());
    next.append(m_bytes);
    m_bytes = std::move(next);
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
