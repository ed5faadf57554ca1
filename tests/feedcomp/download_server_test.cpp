// The control against an ordinary HTTP server: python3 -m http.server.
#include "support/download_harness.h"
#include "support/python_http_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using orlavo::testing::DownloadHarness;
using orlavo::testing::PythonHttpServer;
using orlavo::testing::TempDir;

namespace {

class HttpServerDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(m_root.file("dir"));
        orlavo::testing::writeFileBytes(m_root.file("feed.xml"), m_feed);
        m_server = std::make_unique<PythonHttpServer>(m_root.path());
        if (!m_server->running()) {
            GTEST_SKIP() << "python3 -m http.server is not available";
        }
    }

    std::string m_feed = "<rss>" + std::string(300'000, 'x') + "</rss>\n";
    TempDir m_root;
    std::unique_ptr<PythonHttpServer> m_server;
};

}  // namespace

TEST_F(HttpServerDownload, FetchesABodyOfManyReads)
{
    DownloadHarness h;
    std::string retVal;
    ASSERT_EQ(h.comp->RequestFile(m_server->url("/feed.xml"), retVal), 0) << retVal;
    ASSERT_TRUE(h.pumpUntilFinished());
    EXPECT_EQ(h.events.events, (std::vector<std::string>{"connect 127.0.0.1", "disconnect", "finish 200 OK"}));
    EXPECT_EQ(h.comp->CurSize(), static_cast<std::int32_t>(m_feed.size()));
    TempDir out;
    EXPECT_EQ(h.comp->WriteBinaryFile(out.file("copy.xml").string(), false), 0);
    EXPECT_EQ(orlavo::testing::readFileBytes(out.file("copy.xml")), m_feed);
}

TEST_F(HttpServerDownload, ReportsNotFound)
{
    DownloadHarness h;
    std::string retVal;
    ASSERT_EQ(h.comp->RequestFile(m_server->url("/missing.xml"), retVal), 0) << retVal;
    ASSERT_TRUE(h.pumpUntilFinished());
    EXPECT_EQ(h.events.last(), "finish 404 File not found");
}

TEST_F(HttpServerDownload, ReportsARedirectWithItsLocationLine)
{
    DownloadHarness h;
    std::string retVal;
    ASSERT_EQ(h.comp->RequestFile(m_server->url("/dir"), retVal), 0) << retVal;
    ASSERT_TRUE(h.pumpUntilFinished());
    EXPECT_EQ(h.events.last(), "finish 301 Moved PermanentlyLocation: /dir/");
}
