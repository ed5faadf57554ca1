#include "support/python_http_server.h"

#include "support/child_lifetime.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>

namespace orlavo::testing {

namespace {

// Reads the child's output until it announces its port (or a guard timeout).
std::uint16_t readAnnouncedPort(int fd)
{
    std::string output;
    const std::regex announced(R"(port (\d+) \()");
    char buffer[256];
    for (int rounds = 0; rounds < 100; ++rounds) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 10'000) <= 0) {
            return 0;
        }
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return 0;
        }
        output.append(buffer, static_cast<std::size_t>(n));
        std::smatch match;
        if (std::regex_search(output, match, announced)) {
            return static_cast<std::uint16_t>(std::stoi(match[1]));
        }
    }
    return 0;
}

}  // namespace

PythonHttpServer::PythonHttpServer(const std::filesystem::path& root)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    const std::string directory = root.string();
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        endWithParent(parent);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        // Request logs go to stderr; nobody reads them once the port is known.
        int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        ::execlp("python3", "python3", "-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                 directory.c_str(), "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    // The read end stays open while the server runs: python exits on a
    // broken stdout pipe, which would reset the connections it serves.
    m_outputFd = pipeFds[0];
    if (m_pid > 0) {
        m_port = readAnnouncedPort(m_outputFd);
    }
}

PythonHttpServer::~PythonHttpServer()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_outputFd >= 0) {
        ::close(m_outputFd);
    }
}

std::string PythonHttpServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

}  // namespace orlavo::testing
