#pragma once
// Misbehaving HTTP servers for the hostile-input tests, built on
// ScriptedServer: each behaviour runs on the test's thread after the client
// has started and returns once the client gave up or the script ran out.
#include "support/scripted_server.h"

#include <cstddef>
#include <functional>
#include <string>

namespace orlavo::testing {

using Behaviour = std::function<void(ScriptedServer&)>;

inline const std::string kOkHeader = "HTTP/1.0 200 OK\r\n\r\n";

// Takes the request, then does what follows.
[[nodiscard]] Behaviour answering(Behaviour then);
// Sends response whole and closes.
[[nodiscard]] Behaviour respond(std::string response);
// Sends opening once and then piece again and again until the client gives
// up (256 MiB at most, a guard for a client that never does).
[[nodiscard]] Behaviour flood(std::string opening, std::string piece);
// Sends opening, then one byte of slow every 100 ms until the client gives up.
[[nodiscard]] Behaviour trickle(std::string opening, std::string slow);
// Sends bytes and then says nothing more, keeping the connection open.
[[nodiscard]] Behaviour stall(std::string bytes);
// Sends bytes, then resets the connection.
[[nodiscard]] Behaviour resetAfter(std::string bytes);

}  // namespace orlavo::testing
