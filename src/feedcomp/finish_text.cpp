#include "pellix/finish_text.h"

#include "platform/code_page.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace pellix {

namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string socketErrorText(int number)
{
    switch (number) {
    case ECONNRESET:
        return "connection reset by the server";
    case ECONNREFUSED:
        return "connection refused by the server";
    case ETIMEDOUT:
        return "the connection timed out";
    case EPIPE:
        return "the server closed the connection";
    case EHOSTUNREACH:
        return "the server cannot be reached";
    case ENETUNREACH:
        return "the network cannot be reached";
    default:
        break;
    }
    char buffer[256] = {};
    std::string text = strerror_r(number, buffer, sizeof buffer);  // GNU: returns the text
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string DescribeFinish(std::int32_t status, const std::string& text)
{
    if (status == 0) {
        return "the server sent no HTTP response";
    }
    if (status < 0 && allDigits(text)) {
        return socketErrorText(std::stoi(text)) + " (" + text + ")";
    }
    // Hosts may hand in a status text from elsewhere than OnFinish.
    const std::string printable = orlavo::platform::escapeControls(text);
    std::string_view words = printable;
    while (!words.empty() && (words.back() == '.' || words.back() == ' ')) {
        words.remove_suffix(1);
    }
    if (status < 0) {
        return words.empty() ? std::string("the download failed") : std::string(words);
    }
    return std::to_string(status) + (words.empty() ? "" : " " + std::string(words));
}

std::string DescribeCharsetFallback(const std::string& charset)
{
    return "unknown character set \"" + orlavo::platform::escapeControls(charset) +
           "\": read as UTF-8 with windows-1252 fallback";
}

}  // namespace pellix
