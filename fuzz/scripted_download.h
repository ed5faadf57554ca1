#pragma once
// A download's network without sockets: a loop that plays poll()'s part on a
// manual clock, and one connection that delivers what a script of server
// steps says (bytes in pieces, would-block reads, resets, closes) and takes
// the request as the chosen send behaviour allows. Any misuse of the loop or
// the connection by the engine aborts with a message.
#include "platform/connectivity.h"
#include "platform/event_loop.h"
#include "platform/ip_address.h"
#include "platform/manual_clock.h"
#include "platform/resolver.h"
#include "platform/tcp_connection.h"
#include "fuzz_check.h"

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::testing {

enum class StepKind { Data, WouldBlock, Writable, Wait, Reset, Close, HostClose };

struct Step {
    StepKind kind;
    std::string bytes;     // Data
    std::int64_t ms = 0;   // Wait
};

enum class SendMode { Whole, SevenBytes, EveryOtherBlocks, Fails };

// Timers on the manual clock and one watched connection; the driver plays
// the part of poll().
class ScriptLoop final : public platform::EventLoop {
public:
    explicit ScriptLoop(const platform::ManualClock& clock) : m_clock(clock) {}

    void post(Task task) override { m_tasks.push_back(std::move(task)); }
    TimerId startTimer(std::int64_t delayMs, Task task) override
    {
        m_timers[++m_nextId] = {m_clock.nowMs() + delayMs, 0, std::move(task)};
        return m_nextId;
    }
    TimerId startRepeatingTimer(std::int64_t intervalMs, Task task) override
    {
        m_timers[++m_nextId] = {m_clock.nowMs() + intervalMs, intervalMs, std::move(task)};
        return m_nextId;
    }
    void cancelTimer(TimerId id) override { m_timers.erase(id); }
    WatchId watchFd(int, unsigned events, std::function<void(unsigned)> handler) override
    {
        fuzz::check(!m_watch, "a second descriptor watched while one is");
        m_watch = Watch{++m_nextId, events, std::move(handler)};
        return m_nextId;
    }
    void setWatchEvents(WatchId id, unsigned events) override
    {
        fuzz::check(m_watch && m_watch->id == id, "events set on a watch that is gone");
        m_watch->events = events;
    }
    void unwatchFd(WatchId id) override
    {
        fuzz::check(m_watch && m_watch->id == id, "a watch ended twice");
        m_watch.reset();
    }
    void runPending() override
    {
        for (int round = 0; round < 1000; ++round) {
            auto due = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (it->second.dueMs <= m_clock.nowMs() && (due == m_timers.end() || it->second.dueMs < due->second.dueMs)) {
                    due = it;
                }
            }
            if (due == m_timers.end()) {
                break;
            }
            Timer timer = std::move(due->second);
            m_timers.erase(due);
            if (timer.intervalMs > 0) {
                m_timers[++m_nextId] = {timer.dueMs + timer.intervalMs, timer.intervalMs, timer.task};
            }
            timer.task();
        }
        std::vector<Task> tasks;
        tasks.swap(m_tasks);
        for (Task& task : tasks) {
            task();
        }
    }
    void runOnce(std::int64_t) override { runPending(); }
    void run() override { runPending(); }
    void quit() override {}

    // Hands readiness to the watcher when it asked for any of bits.
    bool signal(unsigned bits)
    {
        if (!m_watch || (m_watch->events & bits) == 0) {
            return false;
        }
        const auto handler = m_watch->handler;  // the handler may end the watch
        handler(bits & (m_watch->events | platform::EventLoop::kHangup));
        return true;
    }
    [[nodiscard]] bool watching() const { return m_watch.has_value(); }

private:
    struct Timer {
        std::int64_t dueMs;
        std::int64_t intervalMs;
        Task task;
    };
    struct Watch {
        WatchId id;
        unsigned events;
        std::function<void(unsigned)> handler;
    };
    const platform::ManualClock& m_clock;
    std::map<TimerId, Timer> m_timers;
    std::optional<Watch> m_watch;
    std::vector<Task> m_tasks;
    std::uint64_t m_nextId = 0;
};

// The server's side of one connection, as the script sets it up.
struct Wire {
    std::deque<Step> incoming;  // Data, Reset or Close
    std::string sent;
    SendMode sendMode = SendMode::Whole;
    int sendCalls = 0;
    bool closedByClient = false;
};

class ScriptConnection final : public platform::TcpConnection {
public:
    explicit ScriptConnection(std::shared_ptr<Wire> wire) : m_wire(std::move(wire)) {}
    [[nodiscard]] int fd() const override { return 1000; }
    [[nodiscard]] platform::IoResult send(std::string_view bytes) override
    {
        fuzz::check(!m_wire->closedByClient, "send after close");
        ++m_wire->sendCalls;
        std::size_t taken = bytes.size();
        switch (m_wire->sendMode) {
        case SendMode::Whole:
            break;
        case SendMode::SevenBytes:
            taken = std::min<std::size_t>(taken, 7);
            break;
        case SendMode::EveryOtherBlocks:
            if (m_wire->sendCalls % 2 == 1) {
                return {-1, EAGAIN};
            }
            break;
        case SendMode::Fails:
            return {-1, EPIPE};
        }
        m_wire->sent.append(bytes.substr(0, taken));
        return {static_cast<std::int64_t>(taken), 0};
    }
    [[nodiscard]] platform::IoResult receive(char* buffer, std::size_t capacity) override
    {
        fuzz::check(!m_wire->closedByClient, "receive after close");
        if (m_wire->incoming.empty()) {
            return {-1, EAGAIN};
        }
        Step& step = m_wire->incoming.front();
        if (step.kind == StepKind::Close) {
            return {0, 0};  // stays closed for every later read
        }
        if (step.kind == StepKind::Reset) {
            m_wire->incoming.pop_front();
            return {-1, ECONNRESET};
        }
        const std::size_t n = std::min(capacity, step.bytes.size());
        step.bytes.copy(buffer, n);
        step.bytes.erase(0, n);
        if (step.bytes.empty()) {
            m_wire->incoming.pop_front();
        }
        return {static_cast<std::int64_t>(n), 0};
    }
    void close() override
    {
        fuzz::check(!m_wire->closedByClient, "closed twice");
        m_wire->closedByClient = true;
    }

private:
    std::shared_ptr<Wire> m_wire;
};

class ScriptNetwork final : public platform::Connectivity, public platform::Resolver, public platform::TcpConnector {
public:
    explicit ScriptNetwork(SendMode mode) : m_mode(mode) {}
    [[nodiscard]] bool isOnline() const override { return true; }
    [[nodiscard]] bool isConnectionProxy() const override { return false; }
    [[nodiscard]] bool isConnectionProxy(std::string_view) const override { return false; }
    [[nodiscard]] platform::LookupResult lookup(const std::string& host, std::int64_t) override
    {
        return {platform::LookupStatus::Found, {*platform::parseIpLiteral(host)}, {}};
    }
    [[nodiscard]] platform::ConnectResult connect(const std::vector<platform::IpAddress>&, std::uint16_t, std::int64_t) override
    {
        fuzz::check(!wire, "a second connection");
        wire = std::make_shared<Wire>();
        wire->sendMode = m_mode;
        return {platform::ConnectStatus::Connected, 0, std::make_unique<ScriptConnection>(wire)};
    }

    std::shared_ptr<Wire> wire;

private:
    SendMode m_mode;
};

}  // namespace orlavo::testing
