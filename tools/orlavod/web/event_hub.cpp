#include "web/event_hub.h"

namespace orlavo::tools {

std::optional<EventHub::ClientId> EventHub::join()
{
    std::lock_guard lock(m_mutex);
    if (m_closed || m_clients.size() >= m_maxClients) {
        return std::nullopt;
    }
    const ClientId id = m_nextId++;
    m_clients.emplace(id, Queue{});
    return id;
}

void EventHub::leave(ClientId client)
{
    std::lock_guard lock(m_mutex);
    m_clients.erase(client);
}

bool EventHub::anyClient() const
{
    std::lock_guard lock(m_mutex);
    return !m_clients.empty();
}

void EventHub::publish(const std::string& sign, const std::string& data)
{
    {
        std::lock_guard lock(m_mutex);
        for (auto& [id, queue] : m_clients) {
            auto [it, added] = queue.latest.insert_or_assign(sign, data);
            if (added) {
                queue.order.push_back(sign);
            }
        }
    }
    m_news.notify_all();
}

EventHub::Batch EventHub::next(ClientId client, std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mutex);
    auto has = [&] {
        auto it = m_clients.find(client);
        return m_closed || it == m_clients.end() || !it->second.order.empty();
    };
    m_news.wait_for(lock, wait, has);
    auto it = m_clients.find(client);
    if (m_closed || it == m_clients.end()) {
        return Batch{true, {}};
    }
    Batch batch;
    for (const std::string& sign : it->second.order) {
        batch.data.push_back(std::move(it->second.latest[sign]));
    }
    it->second.order.clear();
    it->second.latest.clear();
    return batch;
}

void EventHub::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_news.notify_all();
}

}  // namespace orlavo::tools
