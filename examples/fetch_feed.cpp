// fetch_feed URL: downloads an RSS feed and prints the title of each item.
#include <pellix/pellix.h>

#include <iostream>

namespace {

// Remembers how the download ended.
struct Outcome final : pellix::RSSCompListener {
    std::int32_t status = 0;
    std::string text;

    void OnConnect(const std::string&) override {}
    void OnDisconnect() override {}
    void OnFinish(std::int32_t LErrCode, const std::string& sErrStr) override
    {
        status = LErrCode;
        text = sErrStr;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fetch_feed URL\n";
        return 2;
    }
    pellix::PollEventLoop loop;  // the library's own loop
    pellix::RSSComp rss(loop);
    Outcome outcome;
    rss.setListener(&outcome);

    std::string error;
    if (const std::int32_t code = rss.RequestFile(argv[1], error); code != 0) {
        std::cerr << "fetch_feed: " << error << " (" << code << ")\n";
        return 1;
    }
    loop.runUntilIdle();  // returns once OnFinish has run
    if (outcome.status != 200) {
        std::cerr << "fetch_feed: " << pellix::DescribeFinish(outcome.status, outcome.text) << "\n";
        return 1;
    }
    std::int32_t items = 0;
    const std::shared_ptr<pellix::RSSFile> feed = rss.GetRSSFile(/*StripTags=*/true, items);
    for (std::int32_t i = 1; i <= items; ++i) {
        std::cout << feed->ItemTitle(i).value_or("") << "\n";
    }
    return 0;
}
