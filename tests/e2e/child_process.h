#pragma once
// A tool run as a child process for end-to-end tests: argv only (no shell),
// stdout and stderr read line by line through pipes with a deadline, so a
// hung tool fails the test instead of hanging it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::testing {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return m_pid > 0; }
    [[nodiscard]] int pid() const { return m_pid; }
    // The next line without its line end, or nullopt at end of stream or timeout.
    std::optional<std::string> readStdoutLine(int timeoutMs) { return readLine(true, timeoutMs); }
    std::optional<std::string> readStderrLine(int timeoutMs) { return readLine(false, timeoutMs); }
    // The next stderr line that contains needle, skipping (and so draining) the
    // others; nullopt when none comes within timeoutMs of the one before.
    std::optional<std::string> stderrLineWith(std::string_view needle, int timeoutMs);
    // Waits for the exit status (-1 on timeout or a signal), reading both
    // streams into their buffers meanwhile, so a child that fills one pipe
    // never blocks; the lines are then read as usual.
    int waitForExit(int timeoutMs);
    // SIGTERM, then SIGKILL when the child has not gone within a grace period.
    void terminate();

private:
    std::optional<std::string> readLine(bool fromOut, int timeoutMs);
    // Reads once from each chosen pipe that has bytes within timeoutMs, and
    // closes one at its end; false when nothing came in time.
    bool readSome(bool fromOut, bool fromErr, std::int64_t timeoutMs);

    int m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_outBuffer;
    std::string m_errBuffer;
};

}  // namespace orlavo::testing
