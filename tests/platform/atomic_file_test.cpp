#include "platform/atomic_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(AtomicFileWriter, AnUncommittedWriteLeavesTheTargetAndNoTemporaryFile)
{
    TempDir dir;
    writeFileBytes(dir.file("data.ini"), "kept");
    {
        AtomicFileWriter writer;
        ASSERT_FALSE(writer.open(dir.file("data.ini")));
        ASSERT_FALSE(writer.write("lost"));
    }
    EXPECT_EQ(readFileBytes(dir.file("data.ini")), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace orlavo::platform
