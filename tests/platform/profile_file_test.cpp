#include "platform/profile_file.h"
#include "platform/profile_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

using namespace orlavo::platform;
using orlavo::testing::readFileBytes;
using orlavo::testing::TempDir;
using orlavo::testing::writeFileBytes;

namespace {
const std::string kC1 = "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";
}

TEST(ProfileText, LooksUpValuesAsThePlatformDoes)
{
    std::string c1cr = kC1;
    for (std::size_t p; (p = c1cr.find("\r\n")) != std::string::npos;) {
        c1cr.replace(p, 2, "\r");
    }
    struct Row {
        const char* label;
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } rows[] = {
        {"plain", kC1, "section1", "name1", "val1"},
        {"key case", kC1, "section1", "NaMe1", "val1"},
        {"section case", kC1, "SECTION1", "name1", "val1"},
        {"quotes removed", kC1, "section1", "name2", "val2"},
        {"line without = is no key", kC1, "section1", "name3", std::nullopt},
        {"missing key", kC1, "section1", "notakey", std::nullopt},
        {"missing section", kC1, "notasection", "name1", std::nullopt},
        {"empty section", kC1, "section2", "x", std::nullopt},
        {"CR-only file", c1cr, "section1", "name4", "a"},
        {"LF-only file", "[Test]\nProfileInt=123\n", "test", "profileint", "123"},
        {"blanks trimmed", "[A]\r\nk = v  \r\n", "A", "K", "v"},
        {"no inline comments", "[A]\r\nk=v ; note\r\n", "A", "k", "v ; note"},
        {"first section wins", "[A]\r\nk=1\r\n[A]\r\nj=2\r\n", "A", "j", std::nullopt},
        {"first key wins", "[A]\r\nk=1\r\nK=2\r\n", "A", "k", "1"},
        {"header trimmed", "[ section1 ]\r\nx=1\r\n", "section1", "x", "1"},
        {"comment never matches", "[A]\r\n;k=1\r\n", "A", ";k", std::nullopt},
        {"empty value present", "[A]\r\nk=\r\n", "A", "k", ""},
        {"value with =", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(profile::lookup(row.file, row.section, row.key), row.expected);
    }
}

TEST(ProfileText, EditsChangeAsLittleAsPossible)
{
    struct Row {
        const char* label;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    } rows[] = {
        {"new file", "", "App", "key", "", "[App]\r\nkey=\r\n"},
        {"new key after last key", "[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n", "s", "name5", "val5",
         "[s]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\nname5=val5\r\n"},
        {"replace keeps spelling", "[A]\r\nSpeed=3\r\n", "A", "SPEED", "4", "[A]\r\nSpeed=4\r\n"},
        {"new section at end", "[A]\r\nk=1\r\n", "B", "j", "2", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        {"comments and blank lines survive", "; top\r\n[A]\r\nk=1\r\n\r\n; note\r\n[B]\r\n", "A", "j", "2",
         "; top\r\n[A]\r\nk=1\r\nj=2\r\n\r\n; note\r\n[B]\r\n"},
        {"no line end at end of file", "[A]\r\nk=1", "B", "j", "2", "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        {"LF file gets LF lines", "[A]\nk=1\n", "A", "j", "2", "[A]\nk=1\nj=2\n"},
        {"junk before first section kept", std::string("ab\0cd", 5), "s", "k", "v",
         std::string("ab\0cd", 5) + "\r\n[s]\r\nk=v\r\n"},
        {"line breaks in value become blanks", "", "A", "k", "a\r\nb\rc", "[A]\r\nk=a  b c\r\n"},
        {"header without keys", "[A]\r\n[B]\r\n", "A", "k", "1", "[A]\r\nk=1\r\n[B]\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(profile::assign(row.before, row.section, row.key, row.value), row.after);
    }
}

TEST(ProfileFile, ReadsDefaultsCutsLongValuesAndKeepsEmptyValues)
{
    MemoryProfileFile file(std::string("[A]\r\nempty=\r\nlong=") + std::string(800, 'x') + "\r\n");
    EXPECT_EQ(file.read("A", "empty", "default"), "");
    EXPECT_EQ(file.read("A", "missing", "default  "), "default");
    EXPECT_EQ(file.read("A", "long", "").size(), 749u);
    EXPECT_EQ(file.read("A", "missing", "abcdef", 4), "abc");
    EXPECT_EQ(file.read("A", "missing", "abc", 0), "");
    MemoryProfileFile none;
    EXPECT_EQ(none.read("A", "k", "d"), "d");
}

TEST(ProfileFile, StoresWindows1252OnDiskAndUtf8WhenTheFileHasABom)
{
    TempDir dir;
    DiskProfileFile file(dir.file("data.ini"));
    ASSERT_FALSE(file.write("A", "k", "caf\xC3\xA9 \xE2\x98\x83"));
    EXPECT_EQ(readFileBytes(dir.file("data.ini")), "[A]\r\nk=caf\xE9 ?\r\n");
    EXPECT_EQ(file.read("A", "k", ""), "caf\xC3\xA9 ?");

    writeFileBytes(dir.file("bom.ini"), "\xEF\xBB\xBF[A]\r\nk=\xE2\x98\x83\r\n");
    DiskProfileFile bom(dir.file("bom.ini"));
    EXPECT_EQ(bom.read("a", "K", ""), "\xE2\x98\x83");
    ASSERT_FALSE(bom.write("A", "j", "\xC3\xA9"));
    EXPECT_EQ(readFileBytes(dir.file("bom.ini")), "\xEF\xBB\xBF[A]\r\nk=\xE2\x98\x83\r\nj=\xC3\xA9\r\n");
}

TEST(ProfileFile, FailedWritesLeaveTheOldFileIntactAndSayWhy)
{
    TempDir dir;
    const auto path = dir.file("data.ini");
    writeFileBytes(path, "[A]\r\nk=1\r\n");
    DiskProfileFile file(path);

    file.setBeforeRenameHook([] { return false; });  // killed after the temporary file is written
    auto error = file.write("A", "k", "2");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(readFileBytes(path), "[A]\r\nk=1\r\n");
    file.setBeforeRenameHook({});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 2)
        << "only data.ini and its lock file; no temporary file left behind";

    DiskProfileFile directory(dir.path());
    EXPECT_TRUE(directory.write("A", "k", "1").has_value());

    if (geteuid() != 0) {  // root ignores permission bits
        chmod(path.c_str(), 0444);
        EXPECT_TRUE(file.write("A", "k", "3").has_value());
        EXPECT_EQ(readFileBytes(path), "[A]\r\nk=1\r\n");
    }
}

TEST(ProfileFile, UnchangedValueDoesNotRewriteAndSymlinkKeepsItsLink)
{
    TempDir dir;
    const auto target = dir.file("real.ini");
    writeFileBytes(target, "[A]\r\nk=1\r\n");
    std::filesystem::create_symlink(target, dir.file("data.ini"));
    DiskProfileFile file(dir.file("data.ini"));
    auto before = std::filesystem::last_write_time(target);
    ASSERT_FALSE(file.write("a", "K", "1"));
    EXPECT_EQ(std::filesystem::last_write_time(target), before);
    ASSERT_FALSE(file.write("A", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("data.ini")));
    EXPECT_EQ(readFileBytes(target), "[A]\r\nk=2\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("real.ini.lock"))) << "locked beside the file replaced";
    EXPECT_FALSE(std::filesystem::exists(dir.file("data.ini.lock")));
}

// A link or a pipe planted as the lock file is refused, never followed.
TEST(ProfileFile, ALockPathThatIsNotALockFileStopsTheWrite)
{
    struct Row {
        const char* label;
        std::function<void(const std::filesystem::path& lock, const std::filesystem::path& victim)> plant;
        const char* failure;
    } rows[] = {
        {"symlink to a new file", [](auto& lock, auto& victim) { std::filesystem::create_symlink(victim, lock); },
         "data.ini.lock is a symbolic link"},
        {"symlink to a file", [](auto& lock, auto& victim) {
             writeFileBytes(victim, "kept");
             std::filesystem::create_symlink(victim, lock);
         }, "data.ini.lock is a symbolic link"},
        {"FIFO", [](auto& lock, auto&) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }, "is not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        writeFileBytes(dir.file("data.ini"), "[A]\r\nk=1\r\n");
        row.plant(dir.file("data.ini.lock"), dir.file("victim"));
        const bool victimExisted = std::filesystem::exists(dir.file("victim"));
        std::optional<SysError> error = DiskProfileFile(dir.file("data.ini")).write("A", "k", "2");
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->description.find(row.failure), std::string::npos) << error->description;
        EXPECT_EQ(readFileBytes(dir.file("data.ini")), "[A]\r\nk=1\r\n");
        EXPECT_EQ(std::filesystem::exists(dir.file("victim")), victimExisted);
        if (victimExisted) {
            EXPECT_EQ(readFileBytes(dir.file("victim")), "kept");
        }
    }
}

// Once seen, the file's own writes keep it "unchanged"; another program's
// edit of a key wins over a keeping write of it.
TEST(ProfileFile, AKeepingWriteLeavesWhatAnotherProgramChanged)
{
    struct Row {
        const char* label;
        std::optional<std::string> other;  // the other program's file; nullopt: removed
        bool changed;
        std::optional<std::string> after;  // after a keeping write of k=2
    } rows[] = {
        {"no edit", "[A]\r\nk=1\r\nj=0\r\n", false, "[A]\r\nk=2\r\nj=0\r\n"},
        {"k edited", "[A]\r\nk=7\r\nj=0\r\n", true, "[A]\r\nk=7\r\nj=0\r\n"},
        {"k removed", "[A]\r\nj=0\r\n", true, "[A]\r\nj=0\r\n"},
        {"only j edited", "[A]\r\nk=1\r\nj=7\r\n", true, "[A]\r\nk=2\r\nj=7\r\n"},
        {"file removed", std::nullopt, true, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        MemoryProfileFile file("[A]\r\nk=1\r\nj=1\r\n");
        file.markSeen();
        ASSERT_FALSE(file.write("A", "j", "0"));
        EXPECT_FALSE(file.changedSinceSeen()) << "its own write is no change";
        file.replaceBytes(row.other);
        EXPECT_EQ(file.changedSinceSeen(), row.changed);
        ASSERT_FALSE(file.write("A", "k", "2", WriteMode::KeepChangeOnDisk));
        EXPECT_EQ(file.bytes(), row.after);
        file.markSeen();
        EXPECT_FALSE(file.changedSinceSeen());
    }
}

// A file that exists but cannot be read is a failure, never "every key
// missing"; a FIFO is refused at once instead of waiting for a writer.
TEST(ProfileFile, AFileThatExistsButCannotBeReadIsAFailureNotDefaults)
{
    TempDir dir;
    writeFileBytes(dir.file("good.ini"), "[A]\r\nk=1\r\n");
    writeFileBytes(dir.file("huge.ini"), std::string(kMaxProfileBytes + 1, 'x'));
    std::filesystem::create_directory(dir.file("dir.ini"));
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("good.ini"), dir.file("link.ini"));
    struct Row {
        const char* name;
        const char* failure;  // nullptr: reads
        const char* value;
    } rows[] = {
        {"good.ini", nullptr, "1"},
        {"link.ini", nullptr, "1"},
        {"missing.ini", nullptr, "default"},
        {"huge.ini", "is larger than 4 MiB", "default"},
        {"dir.ini", "is a directory, not a regular file", "default"},
        {"fifo.ini", "is a FIFO, not a regular file", "default"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DiskProfileFile file(dir.file(row.name));
        std::optional<SysError> failure = file.readFailure();
        ASSERT_EQ(failure.has_value(), row.failure != nullptr);
        if (failure) {
            EXPECT_NE(failure->description.find(dir.file(row.name).string()), std::string::npos);
            EXPECT_NE(failure->description.find(row.failure), std::string::npos) << failure->description;
            EXPECT_TRUE(file.write("A", "k", "2").has_value()) << "never replaced by a file of one key";
        }
        EXPECT_EQ(file.read("A", "k", "default"), row.value);
    }
    EXPECT_EQ(std::filesystem::file_size(dir.file("huge.ini")), kMaxProfileBytes + 1);
}
