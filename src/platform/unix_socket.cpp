#include "platform/unix_socket.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace orlavo::platform {

namespace {

std::optional<sockaddr_un> addressOf(const std::filesystem::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.empty() || text.size() >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

SysError tooLong(const std::filesystem::path& path)
{
    return SysError{ENAMETOOLONG, "socket path too long: " + path.string()};
}

int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

std::int64_t monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Waits for events on fd until the deadline; false when it passed first.
bool waitFor(int fd, short events, std::int64_t deadlineMs)
{
    for (;;) {
        const std::int64_t left = deadlineMs - monotonicMs();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0) {
            return true;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

// True when a program accepts connections on the socket at address.
bool someoneListens(const sockaddr_un& address)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    closeDescriptor(fd);
    return live;
}

}  // namespace

UnixConnection::~UnixConnection()
{
    closeDescriptor(m_fd);
}

bool UnixConnection::readSome(std::string& into, std::size_t maxBytes)
{
    char buffer[1024];
    while (into.size() < maxBytes) {
        const std::size_t room = std::min(sizeof buffer, maxBytes - into.size());
        const ssize_t n = retryInterrupted([&] { return ::recv(m_fd, buffer, room, 0); });
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

std::size_t UnixConnection::writeSome(std::string_view bytes)
{
    const ssize_t n = retryInterrupted([&] { return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); });
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

UnixListener::~UnixListener()
{
    close();
}

std::optional<SysError> UnixListener::listen(const std::filesystem::path& path, AcceptHandler onAccept)
{
    close();
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        return tooLong(path);
    }
    int fd = newSocket();
    if (fd < 0) {
        return sysErrorFromErrno(errno, "socket");
    }
    // Created closed to everyone else, then opened to this user: never a
    // moment when others could connect.
    const mode_t previous = ::umask(0177);
    int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    if (bound != 0 && errno == EADDRINUSE) {
        struct stat st{};
        if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && !someoneListens(*address)) {
            ::unlink(path.c_str());
            bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
        } else {
            errno = EADDRINUSE;
        }
    }
    const int bindErrno = errno;
    ::umask(previous);
    if (bound != 0) {
        closeDescriptor(fd);
        return sysErrorFromErrno(bindErrno, path.string());
    }
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
        const int e = errno;
        closeDescriptor(fd);
        ::unlink(path.c_str());
        return sysErrorFromErrno(e, path.string());
    }
    m_fd = fd;
    m_path = path;
    m_onAccept = std::move(onAccept);
    m_watch = m_loop.watchFd(m_fd, EventLoop::kReadable, [this](unsigned) { acceptAll(); });
    return std::nullopt;
}

void UnixListener::close()
{
    if (closeWatchedDescriptor(m_loop, m_watch, m_fd)) {
        ::unlink(m_path.c_str());
    }
    m_path.clear();
}

void UnixListener::acceptAll()
{
    for (;;) {
        const int fd = retryInterrupted([&] { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK); });
        if (fd < 0) {
            return;
        }
        m_onAccept(std::make_unique<UnixConnection>(fd));
        if (m_fd < 0) {
            return;  // the handler closed the listener
        }
    }
}

std::optional<SysError> preparePrivateDir(const std::filesystem::path& dir)
{
    std::error_code ignored;  // mkdir below says what went wrong
    if (!dir.parent_path().empty()) {
        std::filesystem::create_directories(dir.parent_path(), ignored);
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return sysErrorFromErrno(errno, dir.string());
    }
    return checkPrivateDir(dir);
}

std::optional<SysError> checkPrivateDir(const std::filesystem::path& dir)
{
    struct stat st{};
    if (::lstat(dir.c_str(), &st) != 0) {
        return sysErrorFromErrno(errno, dir.string());
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        return SysError{EACCES, dir.string() + " is not a directory of this user closed to others (mode 0700)"};
    }
    return std::nullopt;
}

UnixExchange exchangeLine(const std::filesystem::path& path, std::string_view request, std::int64_t timeoutMs,
                          std::size_t maxReplyBytes)
{
    UnixExchange result;
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        result.error = tooLong(path);
        return result;
    }
    const std::int64_t deadline = monotonicMs() + timeoutMs;
    UnixConnection connection(newSocket());
    if (connection.fd() < 0) {
        result.error = sysErrorFromErrno(errno, "socket");
        return result;
    }
    if (::connect(connection.fd(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ECONNREFUSED) {
            result.notRunning = true;
            result.error = sysErrorFromErrno(e, path.string());
            return result;
        }
        if (e != EINPROGRESS && e != EAGAIN) {
            result.error = sysErrorFromErrno(e, path.string());
            return result;
        }
    }
    const SysError timedOut{ETIMEDOUT, "no answer from " + path.string() + " in time"};
    while (!request.empty()) {
        if (!waitFor(connection.fd(), POLLOUT, deadline)) {
            result.error = timedOut;
            return result;
        }
        const std::size_t sent = connection.writeSome(request);
        if (sent == 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = sysErrorFromErrno(errno, path.string());
            return result;
        }
        request.remove_prefix(sent);
    }
    std::string reply;
    for (;;) {
        const std::size_t newline = reply.find('\n');
        if (newline != std::string::npos) {
            result.reply = reply.substr(0, newline);
            return result;
        }
        if (reply.size() >= maxReplyBytes) {
            result.error = SysError{EMSGSIZE, "the answer from " + path.string() + " is too long"};
            return result;
        }
        if (!waitFor(connection.fd(), POLLIN, deadline)) {
            result.error = timedOut;
            return result;
        }
        if (!connection.readSome(reply, maxReplyBytes)) {
            if (reply.find('\n') == std::string::npos) {
                result.error = SysError{ECONNRESET, path.string() + " closed without an answer"};
                return result;
            }
        }
    }
}

}  // namespace orlavo::platform
