// parse_feed FILE: prints the title of each item of an RSS feed file.
#include <pellix/parse.h>

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: parse_feed FILE\n";
        return 2;
    }
    const pellix::ParsedFeed feed = pellix::ParseFeedFile(argv[1], /*StripTags=*/true);
    if (feed.result != pellix::ResultCode::Ok) {
        std::cerr << "parse_feed: " << feed.error << "\n";
        return 1;
    }
    for (std::int32_t i = 1; i <= feed.items; ++i) {
        std::cout << feed.file->ItemTitle(i).value_or("") << "\n";
    }
    return 0;
}
