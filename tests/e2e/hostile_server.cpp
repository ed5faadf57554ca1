#include "hostile_server.h"

namespace orlavo::testing {

Behaviour answering(Behaviour then)
{
    return [then](ScriptedServer& server) {
        if (server.accept()) {
            (void)server.readRequest();
            then(server);
        }
    };
}

Behaviour respond(std::string response)
{
    return answering([response](ScriptedServer& server) {
        server.send(response);
        server.close();
    });
}

Behaviour flood(std::string opening, std::string piece)
{
    return answering([opening, piece](ScriptedServer& server) {
        server.send(opening);
        for (std::size_t sent = 0; sent < (256u << 20) && server.send(piece); sent += piece.size()) {
        }
    });
}

Behaviour trickle(std::string opening, std::string slow)
{
    return answering([opening, slow](ScriptedServer& server) {
        server.send(opening);
        for (std::size_t i = 0; i < 100 && server.send(slow.substr(i % slow.size(), 1)); ++i) {
            if (server.clientClosed(100)) {
                return;
            }
        }
    });
}

Behaviour stall(std::string bytes)
{
    return answering([bytes](ScriptedServer& server) {
        server.send(bytes);
        (void)server.clientClosed();
    });
}

Behaviour resetAfter(std::string bytes)
{
    return answering([bytes](ScriptedServer& server) {
        server.send(bytes);
        server.reset();
    });
}

}  // namespace orlavo::testing
