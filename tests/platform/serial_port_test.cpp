#include "platform/posix_serial_port.h"
#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

using namespace orlavo::platform;

namespace {

// A pseudo-terminal pair: the port under test opens the slave by its path;
// the test reads what arrives on the master and checks settings on a slave
// descriptor of its own.
struct PseudoTerminal {
    PseudoTerminal()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            slavePath = ::ptsname(master);
            slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        }
    }
    ~PseudoTerminal()
    {
        for (int fd : {slave, master}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    // Reads until `count` bytes came or the master stays silent for a second.
    std::string readMaster(std::size_t count)
    {
        std::string got;
        while (got.size() < count) {
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 1000) <= 0) {
                break;
            }
            char buffer[4096];
            ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    int master = -1;
    int slave = -1;
    std::string slavePath;
};

// The port under test on a fresh pseudo-terminal.
struct SerialPortTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_GE(pty.slave, 0);
        port.setDevice(pty.slavePath);
    }
    PseudoTerminal pty;
    PosixSerialPort port;
};

TEST_F(SerialPortTest, WritesBytesUnchangedToTheDevice)
{
    ASSERT_FALSE(port.open());
    EXPECT_TRUE(port.isOpen());
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<char>(i));
    }
    bytes += "line\r\nend\n";
    ASSERT_FALSE(port.write(bytes));
    EXPECT_EQ(pty.readMaster(bytes.size()), bytes);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SerialPortTest, AppliesLineSettingsReadBackOnTheOtherDescriptor)
{
    struct Row {
        const char* text;
        speed_t speed;
        tcflag_t size;
        bool parity;
        bool twoStops;
    };
    const Row rows[] = {
        {"9600,n,8,1", B9600, CS8, false, false},
        {"2400,n,8,1", B2400, CS8, false, false},
        // Pseudo-terminals always keep 8 data bits and no parity, so only the
        // speed and stop bits of other framings can be read back here.
        {"115200,n,8,2", B115200, CS8, false, true},
        {"19200,N,8,1", B19200, CS8, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        ASSERT_FALSE(port.setLineSettings(row.text));
        if (!port.isOpen()) {
            ASSERT_FALSE(port.open());
        }
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.slave, &tio), 0);
        EXPECT_EQ(::cfgetospeed(&tio), row.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, row.size);
        EXPECT_EQ((tio.c_cflag & PARENB) != 0, row.parity);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, row.twoStops);
        EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);  // raw: no CR LF translation
    }
}

// A missing device, one that is no terminal, and one another port holds.
TEST_F(SerialPortTest, AnOpenThatFailsSaysWhyAndLeavesThePortClosed)
{
    struct Row {
        std::string device;
        int number;  // 0: any
        const char* said;
    } rows[] = {
        {"/dev/orlavo-no-such-tty", ENOENT, "/dev/orlavo-no-such-tty"},
        {"/dev/null", 0, ""},
        {pty.slavePath, EBUSY, "busy"},
    };
    PosixSerialPort holder;
    holder.setDevice(pty.slavePath);
    ASSERT_FALSE(holder.open());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.device);
        PosixSerialPort second;
        second.setDevice(row.device);
        auto error = second.open();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, row.number != 0 ? row.number : error->number);
        EXPECT_NE(error->description.find(row.said), std::string::npos) << error->description;
        EXPECT_FALSE(second.isOpen());
        auto notOpen = second.write("x");
        ASSERT_TRUE(notOpen);
        EXPECT_EQ(notOpen->number, EBADF);
    }
    holder.close();
    EXPECT_FALSE(port.open()) << "free again once the holder closes";
}

TEST(SerialPort, UnknownSettingsTextIsAnError)
{
    PosixSerialPort port;
    for (const char* text : {"", "9600", "9600,n,8", "9601,n,8,1", "9600,x,8,1", "9600,n,9,1",
                             "9600,n,8,3", "abc,n,8,1", "9600,n,8,1,", "9600,nn,8,1", "-9600,n,8,1"}) {
        SCOPED_TRACE(text);
        auto error = port.setLineSettings(text);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->number, EINVAL);
        EXPECT_FALSE(parseLineSettings(text));
    }
    auto parsed = parseLineSettings(" 115200 , o , 7 , 2 ");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->baud, 115200);
    EXPECT_EQ(parsed->parity, 'o');
    EXPECT_EQ(parsed->dataBits, 7);
    EXPECT_EQ(parsed->stopBits, 2);
    EXPECT_EQ(serialDeviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(serialDeviceForPort(255), "/dev/ttyS254");
}

TEST_F(SerialPortTest, WriteThatCannotDrainFailsInsteadOfHanging)
{
    port.setWriteStallTimeoutMs(20);
    ASSERT_FALSE(port.open());
    // Nobody reads the master, so the pseudo-terminal's buffer fills up.
    auto error = port.write(std::string(1 << 20, 'x'));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, ETIMEDOUT);
}

}  // namespace
