#include "control_protocol.h"

#include "platform/code_page.h"

#include <charconv>
#include <vector>

namespace orlavo::tools {

namespace {

std::string field(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

// At most `count` fields; the last one keeps any further tabs.
std::vector<std::string_view> splitTabs(std::string_view line, std::size_t count)
{
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            break;
        }
        fields.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    fields.push_back(line);
    return fields;
}

}  // namespace

std::string formatRequest(const ControlRequest& request)
{
    if (request.kind == ControlRequest::Kind::Clear) {
        return "clear\t" + field(request.sign) + "\n";
    }
    return "announce\t" + field(request.sign) + "\t" + std::to_string(request.minutes) + "\t" + field(request.text) +
           "\n";
}

std::variant<ControlRequest, std::string> parseRequest(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::vector<std::string_view> fields = splitTabs(line, 4);
    ControlRequest request;
    request.sign = fields.size() > 1 ? std::string(fields[1]) : std::string();
    if (fields[0] == "clear" && fields.size() == 2) {
        request.kind = ControlRequest::Kind::Clear;
        return request;
    }
    if (fields[0] != "announce" || fields.size() != 4) {
        return std::string("not a request: expected \"announce\" or \"clear\" and their fields");
    }
    const std::string_view minutes = fields[2];
    auto [end, error] = std::from_chars(minutes.data(), minutes.data() + minutes.size(), request.minutes);
    if (minutes.empty() || error != std::errc() || end != minutes.data() + minutes.size()) {
        return std::string("the minutes are not a whole number");
    }
    request.text = std::string(fields[3]);
    return request;
}

std::string formatReply(const ControlReply& reply)
{
    return (reply.ok ? "ok\t" : "error\t") + field(reply.message) + "\n";
}

std::optional<ControlReply> parseReply(std::string_view line)
{
    const std::vector<std::string_view> fields = splitTabs(line, 2);
    if (fields.size() != 2 || (fields[0] != "ok" && fields[0] != "error")) {
        return std::nullopt;
    }
    // The message reaches a terminal: no control bytes from the peer.
    return ControlReply{fields[0] == "ok", platform::escapeControls(fields[1])};
}

}  // namespace orlavo::tools
