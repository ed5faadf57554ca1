#pragma once
// Local stream sockets (AF_UNIX) for a program's control socket: a listener
// on the event loop that hands each accepted connection over, a
// non-blocking connection, and a blocking one-request client for the
// command line with a deadline on every step.
#include "platform/event_loop.h"
#include "platform/sys_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orlavo::platform {

// A connected socket, non-blocking; the owner watches fd() on its loop.
class UnixConnection {
public:
    explicit UnixConnection(int fd) : m_fd(fd) {}
    ~UnixConnection();
    UnixConnection(const UnixConnection&) = delete;
    UnixConnection& operator=(const UnixConnection&) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    // Appends what is there to read, at most maxBytes; false at end of stream or on an error.
    [[nodiscard]] bool readSome(std::string& into, std::size_t maxBytes);
    // Writes what the socket takes now; the number of bytes written (0 on an error).
    std::size_t writeSome(std::string_view bytes);

private:
    int m_fd = -1;
};

class UnixListener {
public:
    using AcceptHandler = std::function<void(std::unique_ptr<UnixConnection>)>;

    explicit UnixListener(EventLoop& loop) : m_loop(loop) {}
    ~UnixListener();
    UnixListener(const UnixListener&) = delete;
    UnixListener& operator=(const UnixListener&) = delete;

    // Listens on path, readable and writable by this user only. A socket
    // left there by a program that is gone is replaced; one that a running
    // program still accepts on is refused (EADDRINUSE).
    [[nodiscard]] std::optional<SysError> listen(const std::filesystem::path& path, AcceptHandler onAccept);
    // Stops listening and removes the socket file.
    void close();

private:
    void acceptAll();

    EventLoop& m_loop;
    int m_fd = -1;
    std::optional<EventLoop::WatchId> m_watch;
    std::filesystem::path m_path;
    AcceptHandler m_onAccept;
};

// Creates dir (and its parents) when missing and checks that it is a
// directory, not a link, owned by this user and closed to everyone else
// (mode 0700): the place for a control socket.
[[nodiscard]] std::optional<SysError> preparePrivateDir(const std::filesystem::path& dir);
// The same checks without creating it: ENOENT when it is missing.
[[nodiscard]] std::optional<SysError> checkPrivateDir(const std::filesystem::path& dir);

// One request and its one-line reply over the socket at path, within
// timeoutMs in all. notRunning is set when nothing listens there (no such
// file, or nobody accepts on it).
struct UnixExchange {
    std::optional<std::string> reply;  // up to and without the line end
    std::optional<SysError> error;
    bool notRunning = false;
};
[[nodiscard]] UnixExchange exchangeLine(const std::filesystem::path& path, std::string_view request,
                                        std::int64_t timeoutMs, std::size_t maxReplyBytes);

}  // namespace orlavo::platform
