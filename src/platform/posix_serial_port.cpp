#include "platform/posix_serial_port.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace orlavo::platform {
namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return B9600;  // parseLineSettings admits only the rates above
    }
}

tcflag_t dataBitsFlag(int bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void setFraming(termios& tio, const LineSettings& settings)
{
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | dataBitsFlag(settings.dataBits);
    if (settings.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    switch (settings.parity) {
    case 'e': tio.c_cflag |= PARENB; break;
    case 'o': tio.c_cflag |= PARENB | PARODD; break;
    case 'm': tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 's': tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speedFor(settings.baud));
    ::cfsetospeed(&tio, speedFor(settings.baud));
}

SysError openError(int number, const std::string& device)
{
    if (number == EBUSY || number == EWOULDBLOCK) {
        return SysError{EBUSY, "Serial device " + device + " is busy: another program is using it"};
    }
    if (number == EACCES) {
        return sysErrorFromErrno(number, "Cannot open serial device " + device +
                                             " (is the user in the dialout group?)");
    }
    return sysErrorFromErrno(number, "Cannot open serial device " + device);
}

}  // namespace

PosixSerialPort::~PosixSerialPort()
{
    close();
}

void PosixSerialPort::setDevice(const std::string& path)
{
    m_device = path;
}

std::optional<SysError> PosixSerialPort::setLineSettings(std::string_view text)
{
    auto settings = parseLineSettings(text);
    if (!settings) {
        return SysError{EINVAL, "Unknown serial line settings \"" + std::string(text) +
                                    "\" (expected speed,parity,data bits,stop bits as in 9600,n,8,1)"};
    }
    m_settings = *settings;
    return isOpen() ? applySettings() : std::nullopt;
}

std::optional<SysError> PosixSerialPort::open()
{
    if (isOpen()) {
        return std::nullopt;
    }
    if (m_device.empty()) {
        return SysError{ENODEV, "No serial device is chosen"};
    }
    int fd = ::open(m_device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return openError(errno, m_device);
    }
    // TIOCEXCL does not stop a privileged opener; the lock does.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        int saved = errno;
        ::close(fd);
        return saved == ENOTTY ? SysError{ENOTTY, m_device + " is not a serial device"}
                               : openError(saved, m_device);
    }
    m_fd = fd;
    std::optional<SysError> error = applySettings();
    if (!error) {
        error = raiseModemLines();
    }
    if (error) {
        close();
    }
    return error;
}

std::optional<SysError> PosixSerialPort::applySettings()
{
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        return sysErrorFromErrno(errno, "Cannot read the settings of " + m_device);
    }
    setFraming(tio, m_settings);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        return sysErrorFromErrno(errno, "Cannot apply the line settings to " + m_device);
    }
    return std::nullopt;
}

std::optional<SysError> PosixSerialPort::raiseModemLines()
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(m_fd, TIOCMBIS, &lines) == 0) {
        return std::nullopt;
    }
    // Pseudo-terminals and some adapters have no modem lines.
    if (errno == ENOTTY || errno == EINVAL) {
        return std::nullopt;
    }
    return sysErrorFromErrno(errno, "Cannot raise DTR and RTS on " + m_device);
}

void PosixSerialPort::close()
{
    if (m_fd >= 0) {
        // The exclusive flag outlives this descriptor while anyone else holds
        // the device open (a pseudo-terminal's reader); clear it for our next open.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
}

std::optional<SysError> PosixSerialPort::waitWritable()
{
    pollfd pfd{m_fd, POLLOUT, 0};
    const int rc = retryInterrupted([&] { return ::poll(&pfd, 1, m_stallMs); });
    if (rc > 0) {
        return std::nullopt;
    }
    if (rc == 0) {
        return SysError{ETIMEDOUT, "Serial device " + m_device + " takes no more data"};
    }
    return sysErrorFromErrno(errno, "Cannot write to " + m_device);
}

std::optional<SysError> PosixSerialPort::write(std::string_view bytes)
{
    if (!isOpen()) {
        return SysError{EBADF, "The serial port is not open"};
    }
    while (!bytes.empty()) {
        ssize_t written = retryInterrupted([&] { return ::write(m_fd, bytes.data(), bytes.size()); });
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            if (auto error = waitWritable()) {
                return error;
            }
            continue;
        }
        return sysErrorFromErrno(errno, "Cannot write to " + m_device);
    }
    return std::nullopt;
}

}  // namespace orlavo::platform
