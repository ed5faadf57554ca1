#include "platform/serial_listener.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace orlavo::platform {
namespace {

constexpr std::size_t kReadChunk = 4096;

void makeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
}

}  // namespace

SerialListener::SerialListener(EventLoop& loop) : m_loop(loop) {}

SerialListener::~SerialListener()
{
    close();
}

std::optional<SysError> SerialListener::openDevice(const std::string& path)
{
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return sysErrorFromErrno(errno, "Cannot open serial device " + path);
    }
    // Not a terminal (a FIFO, say) is fine: it then has no line discipline.
    makeRaw(fd);
    m_fd = fd;
    m_path = path;
    startWatching();
    return std::nullopt;
}

std::optional<SysError> SerialListener::openPseudoTerminal()
{
    close();
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return sysErrorFromErrno(errno, "Cannot create a pseudo-terminal");
    }
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        int saved = errno;
        ::close(master);
        return sysErrorFromErrno(saved, "Cannot set up the pseudo-terminal");
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        int saved = errno;
        ::close(master);
        return sysErrorFromErrno(saved, std::string("Cannot open ") + name);
    }
    makeRaw(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    m_fd = master;
    m_keepAliveFd = slave;
    m_path = name;
    startWatching();
    return std::nullopt;
}

void SerialListener::setHandlers(DataHandler onData, FailureHandler onFailure)
{
    m_onData = std::move(onData);
    m_onFailure = std::move(onFailure);
}

void SerialListener::startWatching()
{
    m_watch = m_loop.watchFd(m_fd, EventLoop::kReadable, [this](unsigned) { readAvailable(); });
}

void SerialListener::readAvailable()
{
    char buffer[kReadChunk];
    const ssize_t got = retryInterrupted([&] { return ::read(m_fd, buffer, sizeof buffer); });
    if (got > 0) {
        if (m_onData) {
            m_onData(std::string(buffer, static_cast<std::size_t>(got)));
        }
        return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return;
    }
    // End of file or a hang-up that will not clear: stop rather than spin.
    SysError error = got == 0 ? SysError{EPIPE, "Serial device " + m_path + " was closed"}
                              : sysErrorFromErrno(errno, "Cannot read serial device " + m_path);
    auto onFailure = m_onFailure;
    close();
    if (onFailure) {
        onFailure(error);
    }
}

void SerialListener::close()
{
    closeWatchedDescriptor(m_loop, m_watch, m_fd);
    closeDescriptor(m_keepAliveFd);
}

}  // namespace orlavo::platform
