#include "hostile_server.h"

#include <cstdint>

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

std::string noise(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    bytes[0] = '\x89';  // not "H": no header is looked for
    return bytes;
}

}  // namespace orlavo::testing
