#include "signsim_options.h"

#include "platform/port_number.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace orlavo::signsim {
namespace {

bool parsePort(const std::string& text, int& port)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !platform::isBindablePort(value)) {
        return false;
    }
    port = value;
    return true;
}

// Splits "--name=value" so both "--port 16000" and "--port=16000" work.
void splitInline(std::string& arg, std::string& inlineValue, bool& hasInline)
{
    auto eq = arg.find('=');
    hasInline = arg.starts_with("--") && eq != std::string::npos;
    if (hasInline) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
    }
}

std::string applyValue(Options& o, const std::string& name, const std::string& value)
{
    if (name == "--bind") {
        o.bindAddress = value;
    } else if (name == "--port" || name == "--discovery-port") {
        int& target = name == "--port" ? o.port : o.discoveryPort;
        if (!parsePort(value, target)) {
            return name + " needs a port number from 0 to 65535, not \"" + value + "\"";
        }
    } else if (name == "--mac") {
        o.mac = value;
    } else if (name == "--reply-address") {
        o.replyAddress = value;
    } else if (name == "--name") {
        o.name = value;
    } else {
        o.serialDevice = value;
    }
    return {};
}

}  // namespace

ParseResult parseOptions(const std::vector<std::string>& args)
{
    ParseResult result;
    Options& o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasInline = false;
        splitInline(arg, value, hasInline);
        if (arg == "--help" || arg == "-h" || arg == "--version" || arg == "--serial-pty" || arg == "--verbose") {
            o.help |= arg == "--help" || arg == "-h";
            o.version |= arg == "--version";
            o.serialPty |= arg == "--serial-pty";
            o.verbose |= arg == "--verbose";
            continue;
        }
        static const char* const kValued[] = {"--bind", "--port", "--discovery-port", "--serial",
                                              "--mac", "--reply-address", "--name"};
        if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
            result.error = "unknown option \"" + args[i] + "\"";
            return result;
        }
        if (!hasInline) {
            if (i + 1 >= args.size()) {
                result.error = arg + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (result.error = applyValue(o, arg, value); !result.error.empty()) {
            return result;
        }
    }
    if (o.serialPty && !o.serialDevice.empty()) {
        result.error = "--serial and --serial-pty exclude each other";
    }
    return result;
}

const char* usageText()
{
    return "Usage: signsim [--bind ADDR] [--port 16000] [--discovery-port 16001]\n"
           "               [--mac HEX] [--reply-address ADDR] [--name TEXT]\n"
           "               [--serial DEVICE | --serial-pty] [--verbose]\n"
           "Listens like an LED message sign and prints each complete message set it\n"
           "receives as one line \"MESSAGE <colour>:<text> | <colour>:<text> ...\", or\n"
           "\"RESET\" for a reset command. Whole frames and clock packets are accepted on\n"
           "UDP and on the serial line alike. Discovery probes are answered with the\n"
           "MAC address, address and name below.\n"
           "\n"
           "  --bind ADDR            local address for UDP (default: all); use a loopback\n"
           "                         address such as 127.0.0.2 to run beside the program\n"
           "  --port N               UDP port for frames (default 16000; 0 picks a free one)\n"
           "  --discovery-port N     port for discovery probes (default 16001; the same as\n"
           "                         --port, for example 16000, shares one socket)\n"
           "  --mac HEX              the MAC address the answer gives, 12 hex digits\n"
           "                         (default 0050C2 and the last three octets of the address)\n"
           "  --reply-address ADDR   the address the answer gives (default: the --bind\n"
           "                         address, or 127.0.0.1)\n"
           "  --name TEXT            the sign name the answer gives, up to 20 characters\n"
           "                         (default signsim)\n"
           "  --serial DEVICE        read frames from this serial device (a real port or\n"
           "                         one end of a socat pseudo-terminal pair)\n"
           "  --serial-pty           create a pseudo-terminal and read frames written to it;\n"
           "                         its path is printed on stderr\n"
           "  --verbose              describe every command (speed, intensity) on stderr\n"
           "  --help, --version\n"
           "\n"
           "Status and malformed input are reported on stderr; stdout carries only the\n"
           "MESSAGE and RESET lines, one per line, flushed at once.\n";
}

}  // namespace orlavo::signsim
