#pragma once
// The control socket's language: one request line, one reply line, fields
// separated by tabs. An empty sign name means every sign.
//
//     announce<TAB>SIGN<TAB>MINUTES<TAB>TEXT     ok<TAB>MESSAGE
//     clear<TAB>SIGN                             error<TAB>MESSAGE
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orlavo::tools {

// Bounds on what either side reads: a request carries at most an 1100-
// character text (up to 4 bytes each), a reply one sentence.
inline constexpr std::size_t kMaxControlRequestBytes = 8192;
inline constexpr std::size_t kMaxControlReplyBytes = 4096;

struct ControlRequest {
    enum class Kind { Announce, Clear };
    Kind kind = Kind::Announce;
    std::string sign;
    int minutes = 0;
    std::string text;
};

struct ControlReply {
    bool ok = false;
    std::string message;
};

// Tabs and line ends inside the fields become blanks.
[[nodiscard]] std::string formatRequest(const ControlRequest& request);
// The request, or why the line is none.
[[nodiscard]] std::variant<ControlRequest, std::string> parseRequest(std::string_view line);

[[nodiscard]] std::string formatReply(const ControlReply& reply);
[[nodiscard]] std::optional<ControlReply> parseReply(std::string_view line);

}  // namespace orlavo::tools
