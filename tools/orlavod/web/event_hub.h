#pragma once
// Sign changes handed from the loop to the event-stream clients, each on its
// own server thread. A client that reads slowly never holds up the loop nor
// grows without bound: its queue keeps one entry per sign, the newest.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orlavo::tools {

class EventHub {
public:
    using ClientId = std::uint64_t;

    explicit EventHub(std::size_t maxClients) : m_maxClients(maxClients) {}

    // nullopt when the hub is full or closed.
    [[nodiscard]] std::optional<ClientId> join();
    void leave(ClientId client);
    [[nodiscard]] bool anyClient() const;
    // The sign's state (event data) for every client, replacing one not sent yet.
    void publish(const std::string& sign, const std::string& data);

    struct Batch {
        bool closed = false;
        std::vector<std::string> data;  // empty after the wait ran out
    };
    // What the client has not been sent yet, waiting up to wait for some.
    [[nodiscard]] Batch next(ClientId client, std::chrono::milliseconds wait);
    // Every waiting client wakes and ends.
    void close();

private:
    struct Queue {
        std::vector<std::string> order;  // signs with news, oldest first
        std::map<std::string, std::string> latest;
    };

    const std::size_t m_maxClients;
    mutable std::mutex m_mutex;
    std::condition_variable m_news;
    std::map<ClientId, Queue> m_clients;
    ClientId m_nextId = 1;
    bool m_closed = false;
};

}  // namespace orlavo::tools
