// The control against an ordinary HTTP server: python3 -m http.server.
#include "support/download_harness.h"
#include "support/python_http_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using orlavo::testing::DownloadHarness;
using orlavo::testing::TempDir;

TEST(HttpServerDownload, FetchesABodyOfManyReadsAndReportsNotFoundAndRedirects)
{
    const std::string feed = "<rss>" + std::string(300'000, 'x') + "</rss>\n";
    TempDir root;
    std::filesystem::create_directory(root.file("dir"));
    orlavo::testing::writeFileBytes(root.file("feed.xml"), feed);
    orlavo::testing::PythonHttpServer server(root.path());
    if (!server.running()) {
        GTEST_SKIP() << "python3 -m http.server is not available";
    }
    struct Row {
        const char* path;
        std::string finish;
        std::int32_t size;
    };
    const Row rows[] = {
        {"/feed.xml", "finish 200 OK", static_cast<std::int32_t>(feed.size())},
        {"/missing.xml", "finish 404 File not found", -1},
        {"/dir", "finish 301 Moved PermanentlyLocation: /dir/", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        DownloadHarness h;
        ASSERT_TRUE(h.fetch(server.url(row.path))) << h.retVal;
        EXPECT_EQ(h.events.events, (std::vector<std::string>{"connect 127.0.0.1", "disconnect", row.finish}));
        if (row.size >= 0) {
            EXPECT_EQ(h.comp->CurSize(), row.size);
            EXPECT_EQ(h.comp->WriteBinaryFile(root.file("copy.xml").string(), false), 0);
            EXPECT_EQ(orlavo::testing::readFileBytes(root.file("copy.xml")), feed);
        }
    }
}
