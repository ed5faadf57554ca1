// rssdump: parse a feed file with the feed library and print what it found as
// one JSON object. Scripts and the end-to-end tests read its output.
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "feedcomp/feed_decoder.h"
#include "feedcomp/rss_document.h"
#include "pellix/finish_text.h"
#include "json_writer.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // stdout could not take the JSON
constexpr int kExitUsage = 2;   // as the other tools
constexpr int kExitUnreadable = 2;

constexpr std::string_view kUsage =
    "usage: rssdump [--strip-tags] FILE\n"
    "Parses FILE (\"-\" for standard input) as an RSS feed and prints the channel,\n"
    "image and items as one JSON object.\n"
    "  --strip-tags  remove line breaks, bold tags, league names and anchors,\n"
    "                headings, paragraphs, spans and images before the fields are cut\n"
    "  --help        show this text\n"
    "  --version     show the version\n";

struct Options {
    bool stripTags = false;
    std::string path;
};

// The file's bytes exactly as stored: no line-end conversion. On failure
// `error` says why.
std::optional<std::string> readAll(const std::string& path, std::string& error)
{
    try {
        std::ostringstream bytes;
        if (path == "-") {
            bytes << std::cin.rdbuf();
            return bytes.str();
        }
        if (std::filesystem::is_directory(path)) {
            error = "it is a directory";
            return std::nullopt;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = std::strerror(errno);
            return std::nullopt;
        }
        bytes << in.rdbuf();
        if (in.bad()) {
            error = "read error";
            return std::nullopt;
        }
        return bytes.str();
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
}

// Returns an exit code when the arguments end the run (help, version, error).
std::optional<int> parseArguments(int argc, char** argv, Options& options)
{
    bool havePath = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return kExitOk;
        }
        if (arg == "--version") {
            std::cout << "rssdump " << ORLAVO_VERSION << "\n";
            return kExitOk;
        }
        if (arg == "--strip-tags") {
            options.stripTags = true;
        } else if (!havePath && (arg == "-" || !arg.starts_with("-"))) {
            options.path = std::string(arg);
            havePath = true;
        } else {
            std::cerr << "rssdump: unexpected argument '" << arg << "'\n" << kUsage;
            return kExitUsage;
        }
    }
    if (!havePath) {
        std::cerr << "rssdump: no feed file given\n" << kUsage;
        return kExitUsage;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const std::optional<int> done = parseArguments(argc, argv, options)) {
        return *done;
    }
    std::string error;
    std::optional<std::string> bytes = readAll(options.path, error);
    if (!bytes) {
        std::cerr << "rssdump: cannot read '" << options.path << "': " << error << "\n";
        return kExitUnreadable;
    }
    if (const std::string charset = pellix::detail::unknownCharset(*bytes, {}); !charset.empty()) {
        std::cerr << "rssdump: " << pellix::DescribeCharsetFallback(charset) << "\n";
    }
    std::string text = pellix::detail::decodeFeedBytes(*bytes);
    bytes.reset();
    const pellix::detail::ParsedDocument parsed =
        pellix::detail::parseDocument(text, options.stripTags);
    if (parsed.document == nullptr) {
        std::cerr << "rssdump: out of memory while parsing '" << options.path << "'\n";
        return kExitUnreadable;
    }
    orlavo::tools::writeDocumentJson(std::cout, parsed.document.get(), parsed.itemCount);
    std::cout.flush();
    return std::cout ? kExitOk : kExitFailed;
}
