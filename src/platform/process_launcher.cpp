#include "platform/process_launcher.h"

#include "platform/descriptor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace orlavo::platform {

namespace {

// Only async-signal-safe calls from here on: the program may have threads.
[[noreturn]] void execDetached(const char* path, char* const* argv, int reportFd)
{
    const pid_t grandchild = ::fork();
    if (grandchild != 0) {
        int error = grandchild < 0 ? errno : 0;
        if (error != 0) {
            (void)!::write(reportFd, &error, sizeof error);
        }
        _exit(0);  // the intermediate child: reaped by launch() at once
    }
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
    }
    ::execve(path, argv, environ);
    const int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    _exit(127);
}

}  // namespace

std::optional<std::string> PosixProcessLauncher::findProgram(std::string_view name) const
{
    if (name.empty() || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        std::string candidate = (dir.empty() ? "." : dir) + "/" + std::string(name);
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        dirs.remove_prefix(colon + 1);
    }
}

std::optional<SysError> PosixProcessLauncher::launch(const std::vector<std::string>& argv)
{
    if (argv.empty()) {
        return SysError{EINVAL, "No program to start"};
    }
    std::optional<std::string> path =
        argv[0].find('/') != std::string::npos ? std::optional<std::string>(argv[0]) : findProgram(argv[0]);
    if (!path) {
        return SysError{ENOENT, "\"" + argv[0] + "\" is not installed (not found in PATH)"};
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return sysErrorFromErrno(errno, "Cannot start " + argv[0]);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        execDetached(path->c_str(), args.data(), report[1]);
    }
    const int forkError = errno;
    closeDescriptor(report[1]);
    if (child < 0) {
        closeDescriptor(report[0]);
        return sysErrorFromErrno(forkError, "Cannot start " + argv[0]);
    }
    int status = 0;
    (void)retryInterrupted([&] { return ::waitpid(child, &status, 0); });
    // The pipe closes on a successful exec (close-on-exec) and carries errno otherwise.
    int execError = 0;
    const ssize_t got = retryInterrupted([&] { return ::read(report[0], &execError, sizeof execError); });
    closeDescriptor(report[0]);
    if (got == static_cast<ssize_t>(sizeof execError)) {
        return sysErrorFromErrno(execError, "Cannot start " + *path);
    }
    return std::nullopt;
}

}  // namespace orlavo::platform
