#include "feedcomp/file_output.h"
#include "pellix/parse.h"
#include "pellix/rss_comp.h"
#include "pellix/rss_file.h"
#include "support/download_harness.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace pellix::detail;
using orlavo::testing::readFileBytes;
using orlavo::testing::TempDir;
using orlavo::testing::writeFileBytes;
using pellix::ResultCode;
namespace fs = std::filesystem;

namespace {

Body bodyOf(std::initializer_list<std::string> chunks)
{
    Body body;
    for (const auto& chunk : chunks) {
        body.append(chunk);
    }
    return body;
}

void makeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace

TEST(FileOutput, TextKeepsTheBytesAndOnlyAddsCrBeforeBareLf)
{
    TempDir dir;
    // windows-1252 e-acute, a CR LF split across chunks, and bare LFs.
    Body body = bodyOf({"caf\xE9\n<a>\r", "\n<b>\n\n"});
    ASSERT_EQ(writeBodyFile(dir.file("t.xml").string(), false, body, BodyFormat::Text).code, ResultCode::Ok);
    EXPECT_EQ(readFileBytes(dir.file("t.xml")), "caf\xE9\r\n<a>\r\n<b>\r\n\r\n");
    ASSERT_EQ(writeBodyFile(dir.file("b.xml").string(), false, body, BodyFormat::Binary).code, ResultCode::Ok);
    EXPECT_EQ(readFileBytes(dir.file("b.xml")), "caf\xE9\n<a>\r\n<b>\n\n");
    // A new file gets the usual permissions.
    EXPECT_NE(fs::status(dir.file("b.xml")).permissions() & fs::perms::owner_write, fs::perms::none);
}

// Past 4 MiB the body moves to buffers advised for large pages as it grows.
TEST(FileOutput, BodyGrownPastLargePagesKeepsEveryByteInOrder)
{
    std::string expected;
    Body body;
    for (char fill = 'a'; fill < 'a' + 9; ++fill) {
        const std::string chunk((std::size_t{1} << 20) - 3, fill);
        body.append(chunk);
        expected += chunk;
    }
    EXPECT_EQ(body.bytes(), expected);
}

TEST(FileOutput, ExistingReadOnlyAndDirectoryTargets)
{
    struct Row {
        const char* label;
        bool ifDelete;
        bool readOnly;
        bool emptyBody;
        ResultCode code;
        std::string after;
    };
    const Row rows[] = {
        {"exists, keep", false, false, false, ResultCode::FileExists, "old"},
        {"exists, replace", true, false, false, ResultCode::Ok, "new"},
        {"read-only, replace", true, true, false, ResultCode::WriteFailed, "old"},
        {"read-only, keep", false, true, false, ResultCode::FileExists, "old"},
        {"nothing to write leaves the file", true, false, true, ResultCode::NothingToWrite, "old"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        const fs::path target = dir.file("feed.xml");
        writeFileBytes(target, "old");
        if (row.readOnly) {
            makeReadOnly(target);
        }
        Body body = row.emptyBody ? Body{} : bodyOf({"new"});
        for (BodyFormat format : {BodyFormat::Text, BodyFormat::Binary}) {
            EXPECT_EQ(writeBodyFile(target.string(), row.ifDelete, body, format).code, row.code);
            EXPECT_EQ(readFileBytes(target), row.after);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "no temporary file may be left behind";
    }
}

TEST(FileOutput, DirectoryOrMissingFolderIsAWriteFailureWithAReason)
{
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    for (const fs::path& target : {dir.file("sub"), dir.file("missing") / "feed.xml"}) {
        SCOPED_TRACE(target.string());
        auto outcome = writeBodyFile(target.string(), false, bodyOf({"x"}), BodyFormat::Text);
        EXPECT_EQ(outcome.code, ResultCode::WriteFailed);
        EXPECT_FALSE(outcome.error.empty());
    }
    EXPECT_TRUE(fs::is_directory(dir.file("sub")));
}

TEST(FileOutput, ControlWritesNothingBeforeADownload)
{
    orlavo::testing::DownloadHarness h;
    TempDir dir;
    writeFileBytes(dir.file("keep.xml"), "keep");
    EXPECT_EQ(h.comp->WriteTextFile(dir.file("keep.xml").string(), true), 2);
    EXPECT_EQ(h.comp->WriteBinaryFile(dir.file("keep.xml").string(), true), 2);
    EXPECT_EQ(readFileBytes(dir.file("keep.xml")), "keep");
    EXPECT_EQ(h.comp->WriteTextFile(dir.file("keep.xml").string(), false), 1);
}

TEST(FileOutput, LocalDocumentFromAReadOnlyFile)
{
    orlavo::testing::DownloadHarness h;
    TempDir dir;
    std::int32_t items = 5;
    const fs::path feed = dir.file("feed.xml");
    writeFileBytes(feed, "<rss><channel><item><title>Caf\xE9</title></item></channel></rss>");
    makeReadOnly(feed);
    EXPECT_EQ(readLocalFile(feed.string()).size(), fs::file_size(feed));
    auto document = h.comp->GetLocalRSSFile(feed.string(), false, items);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(items, 1);
    // The file's windows-1252 byte arrives as UTF-8 text.
    EXPECT_EQ(document->ItemTitle(1), "Caf\xC3\xA9");
    EXPECT_EQ(fs::status(feed).permissions() & fs::perms::owner_write, fs::perms::none);
    const pellix::ParsedFeed parsed = pellix::ParseFeedFile(feed.string(), false);
    ASSERT_EQ(parsed.items, 1);
    EXPECT_EQ(parsed.file->ItemTitle(1), "Caf\xC3\xA9");
}

TEST(FileOutput, ParseFeedKeepsOrConvertsLineEndsAndCountsAsTheControlDoes)
{
    const std::string feed = "<rss><channel><item><title>a\nb</title></item></channel></rss>";
    EXPECT_EQ(pellix::ParseFeed(feed, false).file->ItemTitle(1), "a\nb");
    EXPECT_EQ(pellix::ParseFeed(feed, false, pellix::LineEnds::Crlf).file->ItemTitle(1), "a\r\nb");
    for (const auto& [text, items] : {std::pair{std::string(), -1}, std::pair{std::string("<rss/>"), 0}}) {
        const pellix::ParsedFeed parsed = pellix::ParseFeed(text, true);
        EXPECT_EQ(parsed.items, items);
        EXPECT_EQ(parsed.file, nullptr);
        EXPECT_EQ(parsed.result, pellix::ResultCode::Ok);
    }
}

TEST(FileOutput, LocalDocumentIsAnExistingRegularFileOfBoundedSize)
{
    orlavo::testing::DownloadHarness h;
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    // Sparse files: the size costs no disk.
    for (std::uintmax_t size : {kMaxLocalDocumentBytes, kMaxLocalDocumentBytes + 1}) {
        std::ofstream(dir.file(std::to_string(size))).close();
        fs::resize_file(dir.file(std::to_string(size)), size);
    }
    EXPECT_EQ(readLocalFile(dir.file(std::to_string(kMaxLocalDocumentBytes)).string()).size(), kMaxLocalDocumentBytes);
    // Each but the missing file would otherwise read without end, block for ever, or fill memory.
    for (const std::string& path : {dir.file("none.xml").string(), std::string("/dev/zero"), dir.file("pipe").string(),
                                   dir.file(std::to_string(kMaxLocalDocumentBytes + 1)).string()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(readLocalFile(path), "");
        std::int32_t items = 5;
        EXPECT_EQ(h.comp->GetLocalRSSFile(path, false, items), nullptr);
        EXPECT_EQ(items, 0);
        const pellix::ParsedFeed parsed = pellix::ParseFeedFile(path, false);
        EXPECT_EQ(parsed.result, pellix::ResultCode::FileUnreadable);
        EXPECT_NE(parsed.error.find(path), std::string::npos) << parsed.error;
    }
}
