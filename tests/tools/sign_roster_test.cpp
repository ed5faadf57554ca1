#include "sign_roster.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orlavo::tools {
namespace {

using orlavo::testing::TempDir;
using orlavo::testing::writeFileBytes;
namespace fs = std::filesystem;

std::vector<std::string> namesOf(const Roster& roster)
{
    std::vector<std::string> names;
    for (const SignEntry& sign : roster.signs) {
        names.push_back(sign.name + "=" + sign.settingsPath.filename().string());
    }
    return names;
}

TEST(SignRoster, AFolderGivesItsIniFilesInNameOrderEachNamed)
{
    TempDir dir;
    writeFileBytes(dir.file("lobby.ini"), "[CommMethod]\r\nETHERNET=1\r\n");
    writeFileBytes(dir.file("canteen.ini"), "[Sign]\r\nNAME=  Menu board \r\n");
    writeFileBytes(dir.file("notes.txt"), "not a sign");
    fs::create_directory(dir.file("old.ini"));  // a folder is no sign
    Roster folder = signFilesIn(dir.path());
    ASSERT_TRUE(folder.error.empty()) << folder.error;
    std::vector<fs::path> paths;
    for (const SignEntry& sign : folder.signs) {
        paths.push_back(sign.settingsPath);
    }
    EXPECT_EQ(namesOf(nameSigns(paths)), (std::vector<std::string>{"Menu board=canteen.ini", "lobby=lobby.ini"}));
}

TEST(SignRoster, RefusalsSayWhy)
{
    TempDir dir;
    fs::create_directory(dir.file("empty"));
    writeFileBytes(dir.file("empty/readme.txt"), "");
    writeFileBytes(dir.file("a.ini"), "");
    writeFileBytes(dir.file("b.ini"), "[Sign]\r\nName=a\r\n");
    writeFileBytes(dir.file("bell.ini"), "[Sign]\r\nName=a\x07\r\n");
    EXPECT_NE(signFilesIn(dir.file("empty")).error.find("holds no *.ini"), std::string::npos);
    EXPECT_NE(signFilesIn(dir.file("none")).error.find("cannot read the folder"), std::string::npos);
    const struct {
        std::vector<fs::path> paths;
        const char* why;
    } rows[] = {
        {{dir.file("a.ini"), dir.file("b.ini")}, "two signs are named \"a\""},
        {{dir.file("a.ini"), dir.file("a.ini")}, "two signs are named \"a\""},
        {{dir.file("a.ini"), dir.file("c.ini")}, "c.ini does not exist"},
        {{dir.file("empty")}, "not read"},
        {{dir.file("bell.ini")}, "control characters"},
    };
    for (const auto& row : rows) {
        Roster roster = nameSigns(row.paths);
        EXPECT_TRUE(roster.signs.empty());
        EXPECT_NE(roster.error.find(row.why), std::string::npos) << roster.error;
    }
}

}  // namespace
}  // namespace orlavo::tools
