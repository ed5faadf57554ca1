#include "feedcomp/body.h"

#include <algorithm>

namespace pellix::detail {

void Body::clear()
{
    m_bytes.clear();
    m_bytes.shrink_to_fit();  // a large body's memory goes back between downloads
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
