#include "child_process.h"

#include "support/child_lifetime.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

extern char** environ;

namespace orlavo::testing {
namespace {

constexpr int kTerminateGraceMs = 2000;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv)
{
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        endWithParent(parent);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execve(args[0], args.data(), environ);
        ::_exit(127);
    }
    m_pid = pid;
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
}

ChildProcess::~ChildProcess()
{
    terminate();
    for (int fd : {m_out, m_err}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool ChildProcess::readSome(bool fromOut, bool fromErr, std::int64_t timeoutMs)
{
    pollfd pfds[2] = {{fromOut ? m_out : -1, POLLIN, 0}, {fromErr ? m_err : -1, POLLIN, 0}};
    if (::poll(pfds, 2, static_cast<int>(std::max<std::int64_t>(timeoutMs, 0))) <= 0) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        int& fd = i == 0 ? m_out : m_err;
        char chunk[4096];
        const ssize_t got = pfds[i].revents == 0 ? 0 : ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            (i == 0 ? m_outBuffer : m_errBuffer).append(chunk, static_cast<std::size_t>(got));
        } else if (pfds[i].revents != 0) {
            ::close(fd);  // the end of the stream
            fd = -1;
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(bool fromOut, int timeoutMs)
{
    std::string& buffer = fromOut ? m_outBuffer : m_errBuffer;
    const std::int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        if (auto newline = buffer.find('\n'); newline != std::string::npos) {
            std::string line = buffer.substr(0, newline);
            buffer.erase(0, newline + 1);
            return line;
        }
        if ((fromOut ? m_out : m_err) < 0 || !readSome(fromOut, !fromOut, deadline - nowMs())) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::stderrLineWith(std::string_view needle, int timeoutMs)
{
    while (auto line = readStderrLine(timeoutMs)) {
        if (line->find(needle) != std::string::npos) {
            return line;
        }
    }
    return std::nullopt;
}

int ChildProcess::waitForExit(int timeoutMs)
{
    const std::int64_t deadline = nowMs() + timeoutMs;
    while (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (nowMs() >= deadline) {
            return -1;
        }
        // Wait on the child's pipes rather than sleeping, and keep them from filling.
        readSome(true, true, 10);
    }
    return -1;
}

void ChildProcess::terminate()
{
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    // A child that ignores SIGTERM or is stuck must not hang the test.
    if (waitForExit(kTerminateGraceMs) == -1 && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

}  // namespace orlavo::testing
