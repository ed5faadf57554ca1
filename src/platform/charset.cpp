#include "platform/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace orlavo::platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::size_t kChunk = 16 * 1024;

// How many bytes one code unit of charset takes: an invalid unit is skipped
// whole, so the bytes after it are still read in step.
std::size_t unitWidth(const std::string& charset)
{
    std::string name;
    for (char c : charset) {
        if (c != '-' && c != '_') {
            name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    if (name.starts_with("UTF16") || name.starts_with("UCS2") || name == "UNICODE" || name.starts_with("UNICODEL") ||
        name.starts_with("UNICODEB")) {
        return 2;
    }
    if (name.starts_with("UTF32") || name.starts_with("UCS4") || name == "WCHART") {
        return 4;
    }
    return 1;
}

class Converter {
public:
    explicit Converter(const std::string& charset)
        : m_cd(::iconv_open("UTF-8", charset.c_str())), m_unit(unitWidth(charset))
    {
    }
    ~Converter()
    {
        if (valid()) {
            ::iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    [[nodiscard]] bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    std::string run(std::string_view bytes)
    {
        std::string out;
        out.reserve(bytes.size() + bytes.size() / 2);
        // iconv takes a non-const input pointer but never writes through it.
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        char buffer[kChunk];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = ::iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
                continue;
            }
            if (errno != EILSEQ) {
                break;  // EINVAL: a sequence cut off by the end of the input
            }
            out.append(kReplacement);
            const std::size_t skip = std::min(m_unit, inLeft);
            in += skip;
            inLeft -= skip;
        }
        return out;
    }

private:
    iconv_t m_cd;
    std::size_t m_unit;
};

}  // namespace

std::optional<std::string> convertToUtf8(std::string_view bytes, const std::string& charset)
{
    Converter converter(charset);
    if (!converter.valid()) {
        return std::nullopt;
    }
    return converter.run(bytes);
}

}  // namespace orlavo::platform
