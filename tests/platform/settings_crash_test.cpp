// The settings file under the two failures an operator cannot prevent: the
// program killed in the middle of a write, and a disk that is full. Either way
// data.ini holds a whole file, with the old value or the new one.
#include "platform/profile_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

using orlavo::platform::DiskProfileFile;
using orlavo::testing::readFileBytes;
using orlavo::testing::TempDir;
using orlavo::testing::writeFileBytes;

namespace {

// Long enough that a torn write would show as a cut value.
std::string value(long n)
{
    return "v" + std::to_string(n) + std::string(400, 'x');
}

// A file of the real kind and size: every feed slot filled, and a comment
// that must survive each rewrite.
std::string settingsFile()
{
    std::string file = "; kept by hand\r\n[CommMethod]\r\nREMOTEIP=127.0.0.2\r\n[AccessPoint]\r\n";
    for (int slot = 0; slot < 26; ++slot) {
        file += "ACCESSPOINTIP" + std::to_string(slot) + "=http://127.0.0.1/feeds/" + std::string(80, 'f') + "\r\n";
    }
    return file + "[Parameters]\r\nMESSAGES=" + value(0) + "\r\n";
}

// Writes value(from), value(from + 1), ... for ever, reporting each finished
// write on fd as one byte. Runs in a forked child, so it ends only by a signal.
[[noreturn]] void writeForEver(const std::filesystem::path& path, long from, int fd)
{
    DiskProfileFile file(path);
    for (long n = from;; ++n) {
        if (file.write("Parameters", "Messages", value(n))) {
            ::_exit(3);
        }
        if (::write(fd, "w", 1) != 1) {
            ::_exit(4);
        }
    }
}

// Waits for up to count finished writes; returns how many were reported.
long awaitWrites(int fd, long count)
{
    long seen = 0;
    char buffer[64];
    while (seen < count) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5000) <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, buffer, std::min<long>(sizeof buffer, count - seen));
        if (n <= 0) {
            break;
        }
        seen += n;
    }
    return seen;
}

}  // namespace

TEST(SettingsCrash, KilledWriterLeavesTheOldOrTheNewValueNeverATornFile)
{
    TempDir dir;
    const auto path = dir.file("data.ini");
    writeFileBytes(path, settingsFile());
    std::mt19937 random(14);
    long done = 0;  // writes known to be finished: the file holds value(done) or value(done + 1)
    int kills = 0;
    // At least 1000 writes, cut by at least 25 kills whatever the machine's load.
    while (done < 1000 || kills < 25) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            writeForEver(path, done + 1, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        // A random number of whole writes, then a random moment inside the next.
        done += awaitWrites(pipeFds[0], std::uniform_int_distribution<long>(0, 40)(random));
        for (int spin = std::uniform_int_distribution<int>(0, 200)(random); spin > 0; --spin) {
            ::sched_yield();
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own: exit " << WEXITSTATUS(status);
        // Writes reported before the kill landed.
        done += awaitWrites(pipeFds[0], 1'000'000);
        ::close(pipeFds[0]);
        ++kills;

        const std::string value = DiskProfileFile(path).read("Parameters", "Messages", "missing", 750);
        ASSERT_TRUE(value == ::value(done) || value == ::value(done + 1))
            << "after kill " << kills << " at write " << done << ": \"" << value.substr(0, 12) << "\"";
        const std::string bytes = readFileBytes(path);
        ASSERT_TRUE(bytes.starts_with("; kept by hand\r\n") && bytes.ends_with("x\r\n")) << "a torn file";
        if (value == ::value(done + 1)) {
            ++done;  // the write in progress was renamed into place before the kill
        }
    }
}

TEST(SettingsCrash, FullDiskKeepsTheOldFileAndSaysWhy)
{
    TempDir dir;
    const auto path = dir.file("data.ini");
    const std::string old = settingsFile();
    writeFileBytes(path, old);
    // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{old.size() + 100, old.size() + 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        // The new value makes the file 300 bytes longer than before.
        auto error = DiskProfileFile(path).write("Parameters", "Messages", value(1) + std::string(300, 'y'));
        ::_exit(error && !error->description.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write did not report its failure";
    EXPECT_EQ(readFileBytes(path), old);
}
