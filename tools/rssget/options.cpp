#include "options.h"

#include "common/option_values.h"

namespace rssget {

namespace {

using orlavo::tools::parseBytes;
using orlavo::tools::parseSecondsAsMs;

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value)
{
    if (i + 1 >= args.size()) {
        return false;
    }
    value = args[++i];
    return true;
}

// Applies one option that takes a value; false with error set when it is bad.
bool applyValueOption(const std::string& name, const std::string& value, Options& options, std::string& error)
{
    std::optional<std::int64_t> parsed;
    if (name == "-o") {
        if (value.empty()) {
            error = "-o needs a file name";
            return false;
        }
        options.outputPath = value;
        return true;
    }
    if (name == "--cafile") {
        if (value.empty()) {
            error = "--cafile needs a file name";
            return false;
        }
        options.caFile = value;
        return true;
    }
    if (name == "--max-body") {
        parsed = parseBytes(value);
        options.limits.maxBodyBytes = parsed.value_or(0);
    } else if (name == "--connect-timeout") {
        parsed = parseSecondsAsMs(value);
        options.limits.connectTimeoutMs = parsed.value_or(0);
    } else if (name == "--idle-timeout") {
        parsed = parseSecondsAsMs(value);
        options.limits.idleTimeoutMs = parsed.value_or(0);
    } else if (name == "--max-time") {
        parsed = parseSecondsAsMs(value);
        options.limits.totalTimeoutMs = parsed.value_or(0);
    } else if (name == "--handshake-timeout") {
        parsed = parseSecondsAsMs(value);
        options.limits.handshakeTimeoutMs = parsed.value_or(0);
    }
    if (!parsed) {
        error = "bad value for " + name + ": \"" + value + "\"";
        return false;
    }
    return true;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--binary") {
            options.binary = true;
        } else if (arg == "--fail" || arg == "-f") {
            options.failUnlessOk = true;
        } else if (arg == "--follow-redirects" || arg == "-L") {
            options.followRedirects = true;
        } else if (arg == "-o" || arg == "--cafile" || arg == "--max-body" || arg == "--connect-timeout" || arg == "--idle-timeout" ||
                   arg == "--max-time" || arg == "--handshake-timeout") {
            std::string error;
            if (!takeValue(args, i, value)) {
                return {std::nullopt, arg + " needs a value"};
            }
            if (!applyValueOption(arg, value, options, error)) {
                return {std::nullopt, error};
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return {std::nullopt, "unknown option " + arg};
        } else if (options.url.empty()) {
            options.url = arg;
        } else {
            return {std::nullopt, "unexpected argument " + arg + ": only one URL may be given"};
        }
    }
    if (options.url.empty() && !options.help && !options.version) {
        return {std::nullopt, "no URL given"};
    }
    return {options, {}};
}

const char* usageText()
{
    return "usage: rssget URL [-o FILE] [--binary] [options]\n"
           "Downloads an http:// or https:// URL with an HTTP/1.0 request and prints\n"
           "\"result=<code> status=<status> bytes=<n>\".\n"
           "  -o FILE                write the body (header stripped) to FILE whatever the status;\n"
           "                         bare LF becomes CR LF unless --binary is given\n"
           "  --binary               write the body exactly as received\n"
           "  -f, --fail             write FILE only when the status is 2xx\n"
           "  -L, --follow-redirects follow 301/302/303/307/308 up to 5 hops (never https to http)\n"
           "  --cafile FILE          trust the CA certificates in FILE (PEM) for https:// as well\n"
           "                         as the system's; default: $ORLAVO_CA_FILE when set\n"
           "  --max-body BYTES       largest body accepted (default 67108864)\n"
           "  --connect-timeout S    limit for the name lookup and for the connect (default 10)\n"
           "  --idle-timeout S       longest silence from the server (default 30)\n"
           "  --max-time S           longest whole download (default 300)\n"
           "  --handshake-timeout S  longest TLS handshake for https:// (default 10)\n"
           "  --help, --version\n"
           "Exit status: 0 finished with 2xx (and FILE written), 1 other status or refused,\n"
           "2 bad arguments or FILE not writable.\n";
}

}  // namespace rssget
