#include "web/web_options.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>


namespace orlavo::tools {
namespace {

TEST(WebOptions, StartsOnlyWhatIsSafeToStart)
{
    struct Row {
        WebOptions options;
        const char* refusal;  // nullptr: accepted
    } rows[] = {
        {{"127.0.0.1:8080", "", "", ""}, nullptr},
        {{"127.3.2.1:0", "", "", ""}, nullptr},
        {{"[::1]:8080", "", "", ""}, nullptr},
        {{"0.0.0.0:8080", "", "", ""}, "open to the network"},
        {{"[::]:8080", "", "", ""}, "open to the network"},
        {{"[::ffff:127.0.0.1]:8080", "", "", ""}, "open to the network"},
        {{"0.0.0.0:8080", "t0ken", "", ""}, nullptr},
        {{"127.0.0.1:8080", "to ken", "", ""}, "printable ASCII"},
        {{"127.0.0.1:8080", "a;b", "", ""}, "printable ASCII"},
        {{"localhost:8080", "", "", ""}, "ADDR:PORT"},
        {{"127.0.0.1", "", "", ""}, "ADDR:PORT"},
        {{"127.0.0.1:65536", "", "", ""}, "ADDR:PORT"},
        {{"127.0.0.1:-1", "", "", ""}, "ADDR:PORT"},
        {{"::1:8080", "", "", ""}, "ADDR:PORT"},
        {{"127.0.0.1:8080", "", "cert.pem", ""}, "both a certificate"},
        {{"127.0.0.1:8080", "", "", "key.pem"}, "both a certificate"},
    };
    for (const Row& row : rows) {
        std::optional<std::string> error = checkWebOptions(row.options);
        if (row.refusal == nullptr) {
            EXPECT_EQ(error, std::nullopt) << row.options.listen;
        } else {
            ASSERT_TRUE(error) << row.options.listen;
            EXPECT_NE(error->find(row.refusal), std::string::npos) << *error;
        }
    }
}

TEST(WebOptions, TokenFileGivesItsFirstLineTrimmed)
{
    testing::TempDir dir;
    struct Row {
        const char* content;  // nullptr: no file
        const char* token;
        const char* error;
    } rows[] = {
        {"  s3cret \r\nsecond line\n", "s3cret", ""},
        {"\n", "", "no token"},
        {"", "", "no token"},
        {nullptr, "", "cannot be read"},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string path = dir.file("token" + std::to_string(n++)).string();
        if (row.content != nullptr) {
            testing::writeFileBytes(path, row.content);
        }
        TokenRead read = readTokenFile(path);
        EXPECT_EQ(read.token, row.token);
        EXPECT_NE(read.error.find(row.error), std::string::npos) << read.error;
    }
}

}  // namespace
}  // namespace orlavo::tools
