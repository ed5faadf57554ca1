// Parse + extract throughput of the feed library against libxml2 and
// pugixml building a tree of the same feed and walking its channel and
// items, plus the hostile inputs at doubling sizes to show linear scaling.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "feed_generator.h"
#include "feedcomp/rss_document.h"

namespace {

using orlavo::bench::realisticFeed;
using orlavo::bench::repeatedInItem;
using orlavo::bench::tinyItems;

// Generated once per size: building a 100 MB feed must not be timed.
const std::string& feedOfSize(std::size_t bytes)
{
    static std::map<std::size_t, std::string> feeds;
    auto it = feeds.find(bytes);
    if (it == feeds.end()) {
        it = feeds.emplace(bytes, realisticFeed(bytes)).first;
    }
    return it->second;
}

// Reads every item's title and description, as a host showing headlines does.
std::size_t readPellix(std::string_view text, bool stripTags)
{
    const auto parsed = pellix::detail::parseDocument(text, stripTags);
    std::size_t total = parsed.document->Title().size();
    for (std::int32_t i = 1; i <= parsed.itemCount; ++i) {
        total += parsed.document->ItemTitle(i)->size() + parsed.document->ItemDescription(i)->size();
    }
    return total;
}

void runPellix(benchmark::State& state, const std::string& feed, bool stripTags)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(readPellix(feed, stripTags));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

void BM_Pellix(benchmark::State& state)
{
    runPellix(state, feedOfSize(static_cast<std::size_t>(state.range(0))), false);
}

void BM_PellixStripTags(benchmark::State& state)
{
    runPellix(state, feedOfSize(static_cast<std::size_t>(state.range(0))), true);
}

std::size_t textLength(const xmlNode* element)
{
    std::size_t total = 0;
    for (const xmlNode* c = element->children; c != nullptr; c = c->next) {
        if (c->content != nullptr) {
            total += std::strlen(reinterpret_cast<const char*>(c->content));
        }
    }
    return total;
}

std::size_t walkLibxml2(const std::string& feed)
{
    xmlDoc* doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
    std::size_t total = 0;
    const xmlNode* rss = xmlDocGetRootElement(doc);
    for (const xmlNode* ch = rss != nullptr ? rss->children : nullptr; ch; ch = ch->next) {
        for (const xmlNode* n = ch->children; n != nullptr; n = n->next) {
            if (n->type != XML_ELEMENT_NODE) {
                continue;
            }
            if (xmlStrcmp(n->name, BAD_CAST "item") != 0) {
                total += textLength(n);
                continue;
            }
            for (const xmlNode* f = n->children; f != nullptr; f = f->next) {
                total += f->type == XML_ELEMENT_NODE ? textLength(f) : 0;
            }
        }
    }
    xmlFreeDoc(doc);
    return total;
}

void BM_Libxml2(benchmark::State& state)
{
    const std::string& feed = feedOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkLibxml2(feed));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

std::size_t walkPugixml(const std::string& feed)
{
    pugi::xml_document doc;
    doc.load_buffer(feed.data(), feed.size());
    std::size_t total = 0;
    const pugi::xml_node channel = doc.child("rss").child("channel");
    for (const pugi::xml_node n : channel.children()) {
        if (std::strcmp(n.name(), "item") != 0) {
            total += std::strlen(n.child_value());
            continue;
        }
        for (const pugi::xml_node f : n.children()) {
            total += std::strlen(f.child_value());
        }
    }
    return total;
}

void BM_Pugixml(benchmark::State& state)
{
    const std::string& feed = feedOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkPugixml(feed));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

void BM_Memchr(benchmark::State& state)
{
    const std::string& feed = feedOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::memchr(feed.data(), 0x01, feed.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * feed.size()));
}

// Hostile shapes; the argument is the repeat count, doubled per row.
void BM_UnclosedAnchorsStripTags(benchmark::State& state)
{
    runPellix(state, repeatedInItem("<a href=x>", static_cast<std::size_t>(state.range(0))), true);
}

void BM_TinyItems(benchmark::State& state)
{
    runPellix(state, tinyItems(static_cast<std::size_t>(state.range(0))), false);
}

void BM_AmpersandRun(benchmark::State& state)
{
    runPellix(state, repeatedInItem("&amp;", static_cast<std::size_t>(state.range(0))), false);
}

void BM_BracketRunStripTags(benchmark::State& state)
{
    runPellix(state, repeatedInItem("<", static_cast<std::size_t>(state.range(0))), true);
}

void BM_UnclosedImagesStripTags(benchmark::State& state)
{
    runPellix(state, repeatedInItem("<img ", static_cast<std::size_t>(state.range(0))), true);
}

constexpr std::int64_t k20K = 20 << 10;
constexpr std::int64_t k2M = 2 << 20;
constexpr std::int64_t k100M = 100 << 20;

#define FEED_SIZES Arg(k20K)->Arg(k2M)->Arg(k100M)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Pellix)->FEED_SIZES;
BENCHMARK(BM_PellixStripTags)->FEED_SIZES;
BENCHMARK(BM_Libxml2)->FEED_SIZES;
BENCHMARK(BM_Pugixml)->FEED_SIZES;
BENCHMARK(BM_Memchr)->FEED_SIZES;
#undef FEED_SIZES

#define DOUBLING(from) RangeMultiplier(2)->Range(from, (from) * 8)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_UnclosedAnchorsStripTags)->DOUBLING(100'000);
BENCHMARK(BM_TinyItems)->DOUBLING(125'000);
BENCHMARK(BM_AmpersandRun)->DOUBLING(500'000);
BENCHMARK(BM_BracketRunStripTags)->DOUBLING(2'000'000);
BENCHMARK(BM_UnclosedImagesStripTags)->DOUBLING(500'000);
#undef DOUBLING

}  // namespace

BENCHMARK_MAIN();
