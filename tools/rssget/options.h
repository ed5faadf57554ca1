#pragma once
// rssget's command line: the URL, the output file and the download limits.
#include <pellix/rss_comp.h>

#include <optional>
#include <string>
#include <vector>

namespace rssget {

struct Options {
    std::string url;
    std::string outputPath;  // empty: no file
    bool binary = false;
    bool failUnlessOk = false;  // --fail: no file unless the status is 2xx
    bool followRedirects = false;
    std::string caFile;  // trusted for https:// besides the system's CAs
    bool help = false;
    bool version = false;
    pellix::RSSCompLimits limits;
};

struct ParsedOptions {
    std::optional<Options> options;
    std::string error;  // why the arguments were refused
};

[[nodiscard]] ParsedOptions parseOptions(const std::vector<std::string>& args);
[[nodiscard]] const char* usageText();

}  // namespace rssget
