#include "cli_options.h"

#include "common/option_values.h"
#include "signfeed/announcement.h"

#include <charconv>

namespace orlavo::tools {

const char* usageText()
{
    return "usage: orlavod [--settings DATA_INI]... [--signs DIR] [--once | --update-now] [--verbose]\n"
           "              [--web ADDR:PORT [--web-token TOKEN | --web-token-file FILE]\n"
           "               [--web-cert CERT --web-key KEY]]\n"
           "       orlavod init --settings DATA_INI\n"
           "       orlavod compose --settings DATA_INI... [--signs DIR] FEEDFILE\n"
           "       orlavod discover --settings DATA_INI\n"
           "       orlavod announce [--sign NAME] [--minutes N] TEXT\n"
           "       orlavod announce --clear [--sign NAME]\n"
           "       orlavod --demo\n"
           "       orlavod --help | --version\n"
           "\n"
           "Without a command orlavod runs the update cycle until SIGINT or SIGTERM.\n"
           "  init      run the start-up and close of the main window on DATA_INI\n"
           "  compose   print the bytes one update would send for FEEDFILE\n"
           "  discover  walk the discovery range of DATA_INI and print the signs that answer\n"
           "  announce  show TEXT on the running service's signs instead of their headlines\n"
           "            for N minutes (--minutes, 1 to 1440, default 10), on one sign with\n"
           "            --sign; --clear ends it early\n"
           "  --once    run one update: download, compose, send, then exit\n"
           "  --update-now  in the update cycle, run one update at start as well\n"
           "  --verbose     with --once or the update cycle, print the status texts as they change\n"
           "  --connect-timeout S, --idle-timeout S, --max-time S, --max-body BYTES\n"
           "            with --once or the update cycle: the bounds on each download\n"
           "            (defaults 10 s, 30 s, 300 s and 64 MiB)\n"
           "  --demo    serve a bundled feed on 127.0.0.1 and show it on a sign emulator\n"
           "  --web ADDR:PORT  in the update cycle, the web page and its JSON API on ADDR\n"
           "            (127.0.0.1:8080, [::1]:8080); beyond loopback only with a token\n"
           "  --web-token TOKEN, --web-token-file FILE  the token the API asks for\n"
           "  --web-cert CERT, --web-key KEY  serve HTTPS with this certificate and key\n"
           "  --settings DATA_INI  one sign's settings file; repeat it for several signs\n"
           "  --signs DIR   one sign for every *.ini file in DIR, in the order of their names;\n"
           "            with several signs each output line starts with the sign's name and \": \"\n"
           "  --mqtt HOST[:PORT]  in the update cycle, publish the signs to an MQTT broker and take\n"
           "            commands from it (port 1883, 8883 with TLS); with --mqtt-user USER,\n"
           "            --mqtt-password-file FILE (its first line), --mqtt-tls (the system's\n"
           "            certificates) or --mqtt-cafile FILE, --mqtt-prefix PREFIX (orlavo),\n"
           "            --mqtt-discovery-prefix PREFIX (homeassistant), --mqtt-no-discovery\n"
           "  --config FILE  the update cycle's remote controls ([Web], [Mqtt]); default\n"
           "            $XDG_CONFIG_HOME/orlavo/orlavod.conf when it exists; flags given win\n"
           "Without --settings, data.ini beside the program is used when it exists and is\n"
           "writable, else $XDG_CONFIG_HOME/orlavo/data.ini (~/.config/orlavo/data.ini).\n";
}

namespace {

bool takeCommand(const std::string& word, CliOptions& options)
{
    if (word == "init") {
        options.command = Command::Init;
    } else if (word == "compose") {
        options.command = Command::Compose;
    } else if (word == "discover") {
        options.command = Command::Discover;
    } else if (word == "announce") {
        options.command = Command::Announce;
    } else {
        return false;
    }
    return true;
}

// Seconds (fractions allowed) as milliseconds, at least 1 ms; bytes as a whole number.
std::optional<std::int64_t> limitValue(const std::string& name, const std::string& text)
{
    if (name == "--max-body") {
        const std::optional<std::int64_t> bytes = parseBytes(text);
        return bytes && *bytes > 0 ? bytes : std::nullopt;
    }
    return parseSecondsAsMs(text);
}

// The limit field a name sets, or nullptr when the name is no limit option.
std::int64_t* limitField(const std::string& name, pellix::RSSCompLimits& limits)
{
    if (name == "--connect-timeout") {
        return &limits.connectTimeoutMs;
    }
    if (name == "--idle-timeout") {
        return &limits.idleTimeoutMs;
    }
    if (name == "--max-time") {
        return &limits.totalTimeoutMs;
    }
    if (name == "--max-body") {
        return &limits.maxBodyBytes;
    }
    return nullptr;
}

// The minutes of an announcement: a whole number within its bounds.
std::optional<int> minutesOf(const std::string& text)
{
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > signfeed::kAnnounceMinutesMax) {
        return std::nullopt;
    }
    return value;
}

CliOptions commandOnly(Command command)
{
    CliOptions options;
    options.command = command;
    return options;
}

const char* commandName(Command command)
{
    switch (command) {
    case Command::Init:
        return "init";
    case Command::Compose:
        return "compose";
    case Command::Discover:
        return "discover";
    case Command::Announce:
        return "announce";
    default:
        return "the update cycle";
    }
}

// What the command line said besides the command, for the messages that name it.
struct Seen {
    bool once = false;
    bool demo = false;
    std::string limit;  // the first download-limit option given
    std::string announceOption;  // the first of --sign, --minutes, --clear given
    std::string web;  // the first web option given
    std::string mqttOption;  // the first --mqtt... given
};

// The web option's field, or nullptr when the name is no web option.
std::string* webField(const std::string& name, CliOptions& options)
{
    if (name == "--web") {
        return &options.web.listen;
    }
    if (name == "--web-token") {
        options.webTokenFile.clear();
        return &options.web.token;
    }
    if (name == "--web-token-file") {
        options.web.token.clear();
        return &options.webTokenFile;
    }
    if (name == "--web-cert") {
        return &options.web.certFile;
    }
    if (name == "--web-key") {
        return &options.web.keyFile;
    }
    return nullptr;
}

// The MQTT option that takes a value, or nullptr when name is none.
std::string* mqttField(const std::string& name, MqttOptions& mqtt)
{
    if (name == "--mqtt") {
        return &mqtt.broker;
    }
    if (name == "--mqtt-user") {
        return &mqtt.user;
    }
    if (name == "--mqtt-password-file") {
        return &mqtt.passwordFile;
    }
    if (name == "--mqtt-cafile") {
        return &mqtt.caFile;
    }
    if (name == "--mqtt-prefix") {
        return &mqtt.prefix;
    }
    if (name == "--mqtt-discovery-prefix") {
        return &mqtt.discoveryPrefix;
    }
    return nullptr;
}

std::optional<std::string> checkWeb(const CliOptions& o, const Seen& seen)
{
    if (seen.web.empty()) {
        return std::nullopt;
    }
    // A token or certificate without --web may complete orlavod.conf's
    // [Web] Listen=: the start checks them once the file is read.
    if (seen.once || seen.demo || o.command != Command::Service) {
        return seen.web + " belongs to the update cycle";
    }
    return std::nullopt;
}

std::optional<std::string> checkMqtt(const CliOptions& o, const Seen& seen)
{
    if (seen.mqttOption.empty()) {
        return std::nullopt;
    }
    if (seen.once || seen.demo || o.command != Command::Service) {
        return seen.mqttOption + " belongs to the update cycle";
    }
    // Without a broker here, orlavod.conf may still name one.
    if (o.mqtt.broker.empty()) {
        return std::nullopt;
    }
    if (auto problem = mqttOptionsProblem(o.mqtt)) {
        return "--mqtt: " + *problem;
    }
    return std::nullopt;
}

std::optional<std::string> checkAnnounce(const CliOptions& o, const Seen& seen)
{
    if (o.command != Command::Announce) {
        return seen.announceOption.empty() ? std::nullopt
                                           : std::optional<std::string>(seen.announceOption + " belongs to announce");
    }
    if (seen.once || seen.demo || o.updateNow || o.settingsPath || o.signsDir || !seen.limit.empty() || o.verbose) {
        return std::string("announce takes only --sign, --minutes and --clear");
    }
    if (o.clear && !o.positional.empty()) {
        return std::string("announce --clear takes no TEXT");
    }
    if (!o.clear && o.positional.empty()) {
        return std::string("announce needs a TEXT");
    }
    return std::nullopt;
}

std::optional<std::string> checkCombination(const CliOptions& o, const Seen& seen)
{
    if (o.command == Command::Announce || !seen.announceOption.empty()) {
        return checkAnnounce(o, seen);
    }
    if (auto error = checkWeb(o, seen)) {
        return error;
    }
    if (auto problem = checkMqtt(o, seen)) {
        return problem;
    }
    const std::string command = commandName(o.command);
    if (!seen.limit.empty() && (seen.demo || o.command != Command::Service)) {
        return seen.limit + " belongs to --once and the update cycle, not to " +
               (seen.demo ? std::string("--demo") : command);
    }
    if (seen.demo && (seen.once || o.command != Command::Service || o.settingsPath || o.signsDir)) {
        return std::string("--demo takes no other option, not ") + (seen.once        ? "--once"
                                                                    : o.settingsPath ? "--settings"
                                                                    : o.signsDir     ? "--signs"
                                                                                     : command.c_str());
    }
    const bool oneSign = o.command == Command::Init || o.command == Command::Discover;
    if (oneSign && (o.settingsPaths.size() > 1 || o.signsDir)) {
        return command + " takes one sign: one --settings DATA_INI" + (o.signsDir ? ", not --signs" : "");
    }
    if (o.configPath && (seen.once || seen.demo || o.command != Command::Service)) {
        return "--config belongs to the update cycle, not to " + (seen.once   ? std::string("--once")
                                                                  : seen.demo ? std::string("--demo")
                                                                              : command);
    }
    if (o.updateNow && (seen.once || o.command != Command::Service)) {
        return "--update-now belongs to the update cycle, not to " + (seen.once ? std::string("--once") : command);
    }
    if (seen.once && o.command != Command::Service) {
        return "--once cannot be combined with " + command;
    }
    const bool needsSettings =
        o.command == Command::Init || o.command == Command::Compose || o.command == Command::Discover;
    if (needsSettings && !o.settingsPath && !(o.command == Command::Compose && o.signsDir)) {
        return command + " needs --settings DATA_INI";
    }
    const std::size_t wanted = o.command == Command::Compose ? 1 : 0;
    if (o.positional.size() < wanted) {
        return "compose needs a FEEDFILE";
    }
    if (o.positional.size() > wanted) {
        return "unexpected argument \"" + o.positional[wanted] + "\"";
    }
    return std::nullopt;
}

}  // namespace

CliParse parseCommandLine(const std::vector<std::string>& args)
{
    CliOptions options;
    Seen seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            return CliParse{commandOnly(Command::Help), {}};
        }
        if (a == "--version") {
            return CliParse{commandOnly(Command::Version), {}};
        }
        if (a == "--settings") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, "--settings needs a path"};
            }
            options.settingsPaths.push_back(args[++i]);
            if (!options.settingsPath) {
                options.settingsPath = options.settingsPaths.back();
            }
        } else if (a == "--config") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, "--config needs a path"};
            }
            options.configPath = args[++i];
        } else if (a == "--signs") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, "--signs needs a folder"};
            }
            if (options.signsDir) {
                return CliParse{std::nullopt, "--signs takes one folder; name more signs with --settings"};
            }
            options.signsDir = args[++i];
        } else if (std::int64_t* field = limitField(a, options.limits)) {
            std::optional<std::int64_t> value =
                i + 1 < args.size() ? limitValue(a, args[i + 1]) : std::optional<std::int64_t>();
            if (!value) {
                return CliParse{std::nullopt, a + (a == "--max-body" ? " needs a number of bytes above 0"
                                                                     : " needs a number of seconds above 0")};
            }
            *field = *value;
            options.limitsGiven = true;
            if (seen.limit.empty()) {
                seen.limit = a;
            }
            ++i;
        } else if (std::string* field = webField(a, options)) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, a + (a == "--web" ? " needs ADDR:PORT" : " needs a value")};
            }
            *field = args[++i];
            seen.web = seen.web.empty() ? a : seen.web;
        } else if (a == "--sign") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, "--sign needs a sign name"};
            }
            options.sign = args[++i];
            seen.announceOption = seen.announceOption.empty() ? a : seen.announceOption;
        } else if (a == "--minutes") {
            std::optional<int> minutes = i + 1 < args.size() ? minutesOf(args[i + 1]) : std::nullopt;
            if (!minutes) {
                return CliParse{std::nullopt, "--minutes needs a whole number from 1 to 1440"};
            }
            options.minutes = *minutes;
            seen.announceOption = seen.announceOption.empty() ? a : seen.announceOption;
            ++i;
        } else if (a == "--clear") {
            options.clear = true;
            seen.announceOption = seen.announceOption.empty() ? a : seen.announceOption;
        } else if (std::string* field = mqttField(a, options.mqtt)) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return CliParse{std::nullopt, a + " needs a value"};
            }
            *field = args[++i];
            seen.mqttOption = seen.mqttOption.empty() ? a : seen.mqttOption;
        } else if (a == "--mqtt-tls" || a == "--mqtt-no-discovery") {
            (a == "--mqtt-tls" ? options.mqtt.tls : options.mqtt.discovery) = a == "--mqtt-tls";
            seen.mqttOption = seen.mqttOption.empty() ? a : seen.mqttOption;
        } else if (a == "--once") {
            seen.once = true;
        } else if (a == "--update-now") {
            options.updateNow = true;
        } else if (a == "--demo") {
            seen.demo = true;
        } else if (a == "--verbose" || a == "-v") {
            options.verbose = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return CliParse{std::nullopt, "unknown option \"" + a + "\""};
        } else if (i == 0 && takeCommand(a, options)) {
            continue;
        } else {
            options.positional.push_back(a);
        }
    }
    if (auto error = checkCombination(options, seen)) {
        return CliParse{std::nullopt, *error};
    }
    if (seen.once) {
        options.command = Command::Once;
    } else if (seen.demo) {
        options.command = Command::Demo;
    }
    return CliParse{options, {}};
}

}  // namespace orlavo::tools
