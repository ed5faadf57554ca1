#include "platform/atomic_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

// Every fsync of this test program passes here: a test can see which files
// and folders were synced, and when, and make the sync of a folder fail.
namespace {
struct SyncRecorder {
    std::vector<std::string> synced;  // "<path>" or "<path> (target: <its content>)"
    std::filesystem::path target;
    int folderFailure = 0;
};
SyncRecorder* g_syncs = nullptr;
}  // namespace

extern "C" int fsync(int fd)
{
    static auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    if (g_syncs != nullptr) {
        std::error_code ec;
        const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
        const bool folder = std::filesystem::is_directory(path, ec);
        g_syncs->synced.push_back(path.filename().string() +
                                  (folder ? " (target: " + orlavo::testing::readFileBytes(g_syncs->target) + ")" : ""));
        if (folder && g_syncs->folderFailure != 0) {
            errno = g_syncs->folderFailure;
            return -1;
        }
    }
    return real(fd);
}

namespace orlavo::platform {
namespace {

using orlavo::testing::readFileBytes;
using orlavo::testing::TempDir;
using orlavo::testing::writeFileBytes;
namespace fs = std::filesystem;

std::optional<SysError> writeWhole(const fs::path& target, std::string_view bytes)
{
    AtomicFileWriter writer;
    if (auto error = writer.open(target)) {
        return error;
    }
    if (auto error = writer.write(bytes)) {
        return error;
    }
    return writer.commit();
}

TEST(AtomicFileWriter, ASymlinkChainKeepsItsLinksAndItsEndIsReplaced)
{
    TempDir dir;
    fs::create_directory(dir.file("real"));
    writeFileBytes(dir.file("real/feed.xml"), "old");
    fs::create_symlink(dir.file("real/feed.xml"), dir.file("middle"));
    fs::create_symlink("middle", dir.file("link"));  // relative, as users make them
    ASSERT_FALSE(writeWhole(dir.file("link"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link")));
    EXPECT_TRUE(fs::is_symlink(dir.file("middle")));
    EXPECT_EQ(readFileBytes(dir.file("real/feed.xml")), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("real")), fs::directory_iterator()), 1)
        << "no temporary file left beside the target";
}

// The rename is made durable by syncing the folder after it; a failure of
// that sync is reported although the file was replaced.
TEST(AtomicFileWriter, TheFolderIsSyncedAfterTheRename)
{
    for (int failure : {0, EIO}) {
        SCOPED_TRACE(failure);
        TempDir dir;
        writeFileBytes(dir.file("data.ini"), "old");
        SyncRecorder syncs{{}, dir.file("data.ini"), failure};
        g_syncs = &syncs;
        std::optional<SysError> error = writeWhole(dir.file("data.ini"), "new");
        g_syncs = nullptr;
        ASSERT_EQ(syncs.synced.size(), 2u);
        EXPECT_EQ(syncs.synced[0].rfind("data.ini.tmp-", 0), 0u) << syncs.synced[0];
        EXPECT_EQ(syncs.synced[1], dir.path().filename().string() + " (target: new)");
        EXPECT_EQ(readFileBytes(dir.file("data.ini")), "new");
        ASSERT_EQ(error.has_value(), failure != 0);
        if (error) {
            EXPECT_NE(error->description.find("cannot sync the folder " + dir.path().string()), std::string::npos)
                << error->description;
        }
    }
}

TEST(AtomicFileWriter, ASpecialFileIsWrittenInPlaceNotReplaced)
{
    TempDir dir;
    const fs::path fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A reader first, so the writer's open does not wait.
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_FALSE(writeWhole(fifo, "through the pipe"));
    char buffer[64] = {};
    ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo)) << "the pipe itself is still there";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// Writers killed before their rename: each later writer clears what they left.
TEST(AtomicFileWriter, TemporaryFilesOfKilledWritersNeverPileUp)
{
    TempDir dir;
    const fs::path target = dir.file("data.ini");
    auto temporaries = [&] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            count += entry.path().filename().string().rfind("data.ini.tmp-", 0) == 0 ? 1 : 0;
        }
        return count;
    };
    for (int kill = 0; kill < 20; ++kill) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            AtomicFileWriter writer;
            (void)writer.open(target);
            (void)writer.write("half");
            ::raise(SIGKILL);  // no destructor, no clean-up: as a real kill
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_LE(temporaries(), 1);
    }
    ASSERT_FALSE(writeWhole(target, "whole"));
    EXPECT_EQ(temporaries(), 0);
    EXPECT_EQ(readFileBytes(target), "whole");
}

TEST(AtomicFileWriter, OnlyAbandonedTemporariesOfItsOwnNamingAreRemoved)
{
    TempDir dir;
    const fs::path target = dir.file("data.ini");
    const std::string live = "data.ini.tmp-" + std::to_string(::getpid()) + "-AbC123";
    struct Case {
        std::string name;
        int ageSeconds;
        bool kept;
    } cases[] = {
        {live, 0, true},                          // its writer still runs
        {"data.ini.tmp-2147483647-ZZZZZZ", 0, false},  // no such process
        {"data.ini.tmp-Qx81Lp", 3600, false},     // earlier naming, long abandoned
        {"data.ini.tmp-Qx81Lq", 5, true},         // earlier naming, maybe being written
        {"data.ini.tmp-notes.txt", 3600, true},   // not a name the writer makes
        {"other.ini.tmp-2147483647-ZZZZZZ", 0, true},  // another file's
    };
    for (const Case& c : cases) {
        writeFileBytes(dir.file(c.name), "x");
        fs::last_write_time(dir.file(c.name), fs::file_time_type::clock::now() - std::chrono::seconds(c.ageSeconds));
    }
    AtomicFileWriter::removeAbandonedTemporaries(target);
    for (const Case& c : cases) {
        EXPECT_EQ(fs::exists(dir.file(c.name)), c.kept) << c.name;
    }
}

}  // namespace
}  // namespace orlavo::platform
