#include "announce_command.h"

#include "control_protocol.h"

#include "platform/app_paths.h"
#include "platform/unix_socket.h"
#include "signfeed/announcement.h"

#include <cerrno>
#include <cstdio>

namespace orlavo::tools {

namespace {

// The service answers at once; its frames go out after the answer.
constexpr std::int64_t kAnswerTimeoutMs = 5000;

}  // namespace

int runAnnounce(const CliOptions& options)
{
    ControlRequest request;
    request.kind = options.clear ? ControlRequest::Kind::Clear : ControlRequest::Kind::Announce;
    request.sign = options.sign;
    request.minutes = options.minutes;
    for (const std::string& word : options.positional) {
        request.text += (request.text.empty() ? "" : " ") + word;
    }
    // A text no sign can take is a bad argument, whether a service runs or not.
    if (const std::string problem = signfeed::announcementProblem(request.text, request.minutes);
        !options.clear && !problem.empty()) {
        std::fprintf(stderr, "orlavod: %s\n", problem.c_str());
        return 2;
    }
    const std::filesystem::path socket = platform::controlSocketPath();
    // A folder someone else made (in /tmp) may hold someone else's socket.
    if (auto problem = platform::checkPrivateDir(socket.parent_path()); problem && problem->number != ENOENT) {
        std::fprintf(stderr, "orlavod: not asking the service: %s\n", problem->description.c_str());
        return 1;
    }
    const platform::UnixExchange exchange =
        platform::exchangeLine(socket, formatRequest(request), kAnswerTimeoutMs, kMaxControlReplyBytes);
    if (exchange.notRunning) {
        std::fprintf(stderr, "orlavod: no orlavod service is running: %s %s\n", socket.c_str(),
                     exchange.error && exchange.error->number == ECONNREFUSED ? "does not answer" : "not found");
        return 1;
    }
    if (exchange.error) {
        std::fprintf(stderr, "orlavod: the service did not answer: %s\n", exchange.error->description.c_str());
        return 1;
    }
    const std::optional<ControlReply> reply = parseReply(*exchange.reply);
    if (!reply) {
        std::fprintf(stderr, "orlavod: the service's answer was not understood\n");
        return 1;
    }
    std::fprintf(reply->ok ? stdout : stderr, "%s%s\n", reply->ok ? "" : "orlavod: ", reply->message.c_str());
    return reply->ok ? 0 : 1;
}

}  // namespace orlavo::tools
