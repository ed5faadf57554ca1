#include "feedcomp/body.h"

#include <algorithm>

namespace pellix::detail {

void Body::clear()
{
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_size = 0;
}

void Body::append(std::string chunk)
{
    m_size += static_cast<std::int64_t>(chunk.size());
    m_chunks.push_back(std::move(chunk));
}

std::string Body::joined() const
{
    std::string out;
    out.reserve(static_cast<std::size_t>(m_size));
    for (const auto& chunk : m_chunks) {
        out += chunk;
    }
    return out;
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
