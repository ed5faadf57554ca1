#include "tool_run.h"

#include "platform/ascii.h"

#include <algorithm>
#include <chrono>

namespace orlavo::testing {

using platform::asciiUpper;

ToolRun finishRun(ChildProcess& child, int timeoutMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    auto left = [deadline] {
        auto ms = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        return static_cast<int>(std::max<decltype(ms)>(ms, 0));
    };
    ToolRun run;
    run.exitCode = child.waitForExit(left());
    while (auto line = child.readStdoutLine(left())) {
        run.out.push_back(*line);
    }
    while (auto line = child.readStderrLine(left())) {
        run.err += *line + "\n";
    }
    return run;
}

ToolRun runTool(const std::vector<std::string>& argv, int timeoutMs)
{
    ChildProcess child(argv);
    if (!child.started()) {
        return {};
    }
    return finishRun(child, timeoutMs);
}

SignsimAddress waitUntilListening(ChildProcess& signsim, bool withPty, int timeoutMs)
{
    SignsimAddress address;
    while (address.port < 0 || (withPty && address.pty.empty())) {
        auto line = signsim.readStderrLine(timeoutMs);
        if (!line) {
            break;
        }
        constexpr std::string_view kListening = "listening for frames on UDP ";
        if (auto at = line->find(kListening); at != std::string::npos) {
            address.port = std::stoi(line->substr(line->rfind(':') + 1));
        }
        if (auto pts = line->find("/dev/pts/"); pts != std::string::npos) {
            address.pty = line->substr(pts);
        }
    }
    return address;
}

std::string unescapeComposeLine(std::string_view line)
{
    constexpr std::string_view kHex = "0123456789abcdef";  // lower case only, as the output has it
    std::string bytes;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x' &&
                   kHex.find(line[i + 2]) != kHex.npos && kHex.find(line[i + 3]) != kHex.npos) {
            bytes += static_cast<char>(kHex.find(line[i + 2]) * 16 + kHex.find(line[i + 3]));
            i += 3;
        } else {
            bytes += line[i];
        }
    }
    return bytes;
}

IniEntries parseIni(std::string_view bytes)
{
    IniEntries entries;
    std::string section;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with('[') && line.ends_with(']')) {
            section = asciiUpper(line.substr(1, line.size() - 2));
        } else if (std::size_t eq = line.find('='); eq != std::string_view::npos) {
            entries[section + "/" + asciiUpper(line.substr(0, eq))] = std::string(line.substr(eq + 1));
        }
    }
    return entries;
}

}  // namespace orlavo::testing
