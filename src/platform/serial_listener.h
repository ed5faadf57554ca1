#pragma once
// The receiving end of a serial line, for tools that stand in for a sign:
// either an existing device (a real port, one end of a socat pair) or a new
// pseudo-terminal whose far end the sending program opens. Bytes arrive on
// the event loop as they come; nothing is written back.
#include "platform/event_loop.h"
#include "platform/sys_error.h"

#include <functional>
#include <optional>
#include <string>

namespace orlavo::platform {

class SerialListener {
public:
    using DataHandler = std::function<void(std::string bytes)>;
    // Called once when the line fails for good; the listener has stopped.
    using FailureHandler = std::function<void(SysError error)>;

    explicit SerialListener(EventLoop& loop);
    ~SerialListener();
    SerialListener(const SerialListener&) = delete;
    SerialListener& operator=(const SerialListener&) = delete;

    [[nodiscard]] std::optional<SysError> openDevice(const std::string& path);
    // Creates a pseudo-terminal; devicePath() then names the end to write to.
    [[nodiscard]] std::optional<SysError> openPseudoTerminal();
    [[nodiscard]] const std::string& devicePath() const { return m_path; }
    void setHandlers(DataHandler onData, FailureHandler onFailure);
    void close();

private:
    void startWatching();
    void readAvailable();

    EventLoop& m_loop;
    int m_fd = -1;
    // The far end of our own pseudo-terminal, held open so the master never
    // reports a hang-up between two senders.
    int m_keepAliveFd = -1;
    std::string m_path;
    std::optional<EventLoop::WatchId> m_watch;
    DataHandler m_onData;
    FailureHandler m_onFailure;
};

}  // namespace orlavo::platform
