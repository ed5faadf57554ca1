#include "platform/profile_text.h"

#include "platform/ascii.h"

#include <vector>

namespace orlavo::platform::profile {

namespace {

struct Line {
    std::size_t begin;    // first byte of the line
    std::size_t end;      // one past its content
    std::size_t lineEnd;  // one past its line end (CR LF, LF or CR)
};

bool isBlank(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A;
}

std::string_view trim(std::string_view s)
{
    return trimIf(s, isBlank);
}

std::vector<Line> splitLines(std::string_view file)
{
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < file.size()) {
        std::size_t end = i;
        while (end < file.size() && file[end] != '\r' && file[end] != '\n') {
            ++end;
        }
        std::size_t next = end;
        if (next < file.size() && file[next] == '\r') {
            ++next;
        }
        if (next < file.size() && file[next] == '\n' && (next == end || file[next - 1] == '\r')) {
            ++next;
        }
        lines.push_back(Line{i, end, next});
        i = next;
    }
    return lines;
}

// The section name of a header line, or nullopt for any other line.
std::optional<std::string_view> headerName(std::string_view content)
{
    std::string_view t = trim(content);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    std::size_t close = t.rfind(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(t.substr(1, close - 1));
}

// Splits a key line at its first "="; comments and lines without "=" give nullopt.
std::optional<std::pair<std::string_view, std::string_view>> keyValue(std::string_view content)
{
    std::string_view t = trim(content);
    if (t.empty() || t.front() == ';') {
        return std::nullopt;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

struct Position {
    bool sectionFound = false;
    std::size_t headerLine = 0;
    std::optional<std::size_t> keyLine;
    std::size_t lastKeyLine = 0;  // last non-blank, non-comment line of the section
};

Position locate(std::string_view file, const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Position pos;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view content = file.substr(lines[n].begin, lines[n].end - lines[n].begin);
        if (auto name = headerName(content)) {
            if (pos.sectionFound) {
                break;  // only the first section of that name counts
            }
            if (equalsIgnoreCase(*name, trim(section))) {
                pos.sectionFound = true;
                pos.headerLine = n;
                pos.lastKeyLine = n;
            }
            continue;
        }
        if (!pos.sectionFound) {
            continue;
        }
        std::string_view t = trim(content);
        if (!t.empty() && t.front() != ';') {
            pos.lastKeyLine = n;
        }
        auto kv = keyValue(content);
        if (!pos.keyLine && kv && equalsIgnoreCase(kv->first, trim(key))) {
            pos.keyLine = n;
        }
    }
    return pos;
}

std::string_view newLineOf(std::string_view file, const std::vector<Line>& lines)
{
    for (const Line& line : lines) {
        std::string_view ending = file.substr(line.end, line.lineEnd - line.end);
        if (!ending.empty()) {
            return ending;
        }
    }
    return "\r\n";
}

std::string cleanValue(std::string_view value)
{
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> lookup(std::string_view file, std::string_view section, std::string_view key)
{
    std::vector<Line> lines = splitLines(file);
    Position pos = locate(file, lines, section, key);
    if (!pos.keyLine) {
        return std::nullopt;
    }
    const Line& line = lines[*pos.keyLine];
    std::string_view value = keyValue(file.substr(line.begin, line.end - line.begin))->second;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string assign(std::string_view file, std::string_view section, std::string_view key, std::string_view value)
{
    std::vector<Line> lines = splitLines(file);
    const std::string_view nl = newLineOf(file, lines);
    const std::string clean = cleanValue(value);
    Position pos = locate(file, lines, section, key);
    std::string out;
    out.reserve(file.size() + key.size() + clean.size() + section.size() + 8);
    if (pos.keyLine) {
        const Line& line = lines[*pos.keyLine];
        std::size_t eq = file.find('=', line.begin);
        out.append(file.substr(0, eq + 1));
        out.append(clean);
        out.append(file.substr(line.end));
        return out;
    }
    if (pos.sectionFound) {
        const Line& after = lines[pos.lastKeyLine];
        out.append(file.substr(0, after.lineEnd));
        if (after.lineEnd == after.end) {
            out.append(nl);  // the section's last line had no line end
        }
        out.append(key).append("=").append(clean).append(nl);
        out.append(file.substr(after.lineEnd));
        return out;
    }
    out.append(file);
    if (!file.empty() && file.back() != '\n' && file.back() != '\r') {
        out.append(nl);
    }
    out.append("[").append(section).append("]").append(nl);
    out.append(key).append("=").append(clean).append(nl);
    return out;
}

}  // namespace orlavo::platform::profile
