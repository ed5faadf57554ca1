#include "browser/browser_address.h"
#include "browser/browser_window_model.h"
#include "platform/profile_file.h"
#include "support/fake_message_sink.h"
#include "support/fake_web_view.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace orlavo;
using namespace orlavo::browser;
using Strings = std::vector<std::string>;

namespace {

struct Rig {
    // The pages come from the settings file, as the program reads them.
    explicit Rig(std::string start = "10.1.2.3", std::string ini = "")
        : model(view, sink, readBrowserPages(platform::MemoryProfileFile(std::move(ini))))
    {
        model.setStartingAddress(std::move(start));
    }
    // A page's whole load as the engine reports it.
    void visit(const std::string& url, const std::string& title = "page")
    {
        view.started();
        view.titled(title);
        view.completed(url);
    }

    orlavo::testing::FakeWebView view;
    orlavo::testing::FakeMessageSink sink;
    BrowserWindowModel model;
};

TEST(BrowserAddress, BareAddressesGainHttpAndOnlyWebSchemesLoad)
{
    struct Row {
        const char* text;
        std::optional<std::string> loaded;
    } rows[] = {
        {"10.1.2.3", "http://10.1.2.3"},
        {"  10.1.2.3/setup.htm \t", "http://10.1.2.3/setup.htm"},
        {"sign:8080/x", "http://sign:8080/x"},
        {"10.1.2.3:80", "http://10.1.2.3:80"},
        {"HTTPS://sign/", "HTTPS://sign/"},
        {"http://sign/a?b=c://d", "http://sign/a?b=c://d"},
        {"file:///tmp/page.html", "file:///tmp/page.html"},
        {"about:blank", "about:blank"},
        {"javascript:alert(1)", "http://javascript:alert(1)"},  // a host name that cannot resolve
        {"chrome://settings", std::nullopt},
        {"ftp://sign/", std::nullopt},
        {"view-source:http://sign/", "http://view-source:http://sign/"},
        {"1ab://x", "http://1ab://x"},
        {"", std::nullopt},
        {" \t", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(loadableAddress(row.text), row.loaded);
    }
}

TEST(BrowserAddress, CaptionDropsControlCharactersAndStopsAtTheLimit)
{
    EXPECT_EQ(captionText("Sign\r\nsetup\x7f"), "Sign  setup ");
    const std::string plain(kMaxCaptionChars + 5, 'x');
    EXPECT_EQ(captionText(plain).size(), kMaxCaptionChars);
    std::string wide;
    for (std::size_t i = 0; i < kMaxCaptionChars + 1; ++i) {
        wide += "\xe2\x82\xac";  // one character, three bytes
    }
    EXPECT_EQ(captionText(wide), wide.substr(0, 3 * kMaxCaptionChars));
}

TEST(BrowserWindowModel, AddressBoxListsEachVisitedPageOnceNewestFirst)
{
    struct Row {
        const char* label;
        std::string start;
        Strings visits;  // completed navigations, in order
        Strings items;
        std::string text;
    } rows[] = {
        {"typed address kept under the location", "10.1.2.3", {"http://10.1.2.3/"},
         {"http://10.1.2.3/", "10.1.2.3"}, "http://10.1.2.3/"},
        {"A, B, A lists A, B", "", {"http://a/", "http://b/", "http://a/"}, {"http://a/", "http://b/"}, "http://a/"},
        {"a location equal to the typed text is not doubled", "http://a/", {"http://a/"}, {"http://a/"},
         "http://a/"},
        {"only exact matches merge", "", {"http://a/", "http://A/", "http://a"},
         {"http://a", "http://A/", "http://a/"}, "http://a"},
        {"an empty location is not listed", "", {"http://a/", ""}, {"http://a/"}, "http://a/"},
        {"no starting address: empty box", "", {}, {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig(row.start);
        rig.model.load();
        for (const auto& url : row.visits) {
            rig.visit(url);
        }
        EXPECT_EQ(rig.model.addresses(), row.items);
        EXPECT_EQ(rig.model.addressText(), row.text);
    }
    Rig rig("");
    for (std::size_t i = 0; i <= kMaxAddresses; ++i) {
        rig.visit("http://a/" + std::to_string(i));
    }
    ASSERT_EQ(rig.model.addresses().size(), kMaxAddresses);
    EXPECT_EQ(rig.model.addresses().back(), "http://a/1");
}

TEST(BrowserWindowModel, CaptionSaysWorkingWhileACommandsPageLoadsThenShowsTheTitle)
{
    using Act = std::function<void(Rig&)>;
    struct Step {
        const char* label;
        Act act;
        std::string caption;
    };
    const std::vector<Step> steps = {
        {"before load", [](Rig&) {}, ""},
        {"load starts the starting address", [](Rig& r) { r.model.load(); }, ""},
        {"busy", [](Rig& r) { r.view.started(); }, "Working..."},
        {"the title arrives while busy", [](Rig& r) { r.view.titled("Sign 1"); }, "Working..."},
        {"navigation complete", [](Rig& r) { r.view.completed("http://10.1.2.3/"); }, "Sign 1"},
        {"a link in the page loads without a command", [](Rig& r) { r.view.started(); }, "Sign 1"},
        {"its title shows at once", [](Rig& r) { r.view.titled("Setup"); }, "Setup"},
        {"complete", [](Rig& r) { r.view.completed("http://10.1.2.3/setup"); }, "Setup"},
        {"Refresh", [](Rig& r) { r.model.refresh(); r.view.started(); }, "Working..."},
        {"Stop shows what has loaded so far", [](Rig& r) { r.view.pageTitle = "Set"; r.model.stop(); }, "Set"},
        {"the engine's end of the stopped load", [](Rig& r) { r.view.completed("http://10.1.2.3/setup"); }, "Set"},
        {"Back", [](Rig& r) { r.model.back(); r.view.started(); }, "Working..."},
        {"a hostile title", [](Rig& r) { r.view.titled("x\ny"); r.view.completed("http://10.1.2.3/"); }, "x y"},
    };
    Rig rig;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        step.act(rig);
        EXPECT_EQ(rig.model.caption(), step.caption);
    }
    EXPECT_FALSE(rig.model.watching());
}

TEST(BrowserWindowModel, CommandsReachTheViewAsTheToolbarAndAddressBoxSay)
{
    using Act = std::function<void(BrowserWindowModel&)>;
    struct Row {
        const char* label;
        std::string start;
        std::string ini;  // the settings file
        Act act;
        Strings calls;
        std::size_t messages;
    } rows[] = {
        {"load adds http to a bare sign address", "10.1.2.3", "", [](auto& m) { m.load(); },
         {"load http://10.1.2.3"}, 0},
        {"empty starting address loads nothing", "", "", [](auto& m) { m.load(); }, {}, 0},
        {"Enter with a new address", "", "", [](auto& m) { m.chooseAddress("10.9.9.9/a"); },
         {"load http://10.9.9.9/a"}, 0},
        {"Enter in an empty box", "", "", [](auto& m) { m.chooseAddress("  "); }, {}, 0},
        {"Enter with a refused scheme says why", "", "", [](auto& m) { m.chooseAddress("chrome://gpu"); }, {}, 1},
        {"toolbar", "", "",
         [](auto& m) {
             m.back();
             m.forward();
             m.refresh();
             m.stop();
         },
         {"back", "forward", "reload", "stop"}, 0},
        {"Home defaults to the sign", "10.1.2.3", "", [](auto& m) { m.home(); }, {"load http://10.1.2.3"}, 0},
        {"Home from data.ini", "10.1.2.3", "[Browser]\r\nHomePage=sign.local/index.htm\r\n", [](auto& m) { m.home(); },
         {"load http://sign.local/index.htm"}, 0},
        {"Home with neither does nothing", "", "", [](auto& m) { m.home(); }, {}, 0},
        {"Search from data.ini", "", "[Browser]\r\nSearchPage=http://search.test/\r\n", [](auto& m) { m.search(); },
         {"load http://search.test/"}, 0},
        {"Search without a page does nothing", "10.1.2.3", "", [](auto& m) { m.search(); }, {}, 0},
        {"a refused home page says why", "", "[Browser]\r\nHomePage=ftp://x/\r\n", [](auto& m) { m.home(); }, {}, 1},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.label);
        Rig rig(row.start, row.ini);
        row.act(rig.model);
        EXPECT_EQ(rig.view.calls, row.calls);
        EXPECT_EQ(rig.sink.messages().size(), row.messages);
        EXPECT_EQ(rig.model.searchAvailable(), row.ini.find("SearchPage=") != std::string::npos);
    }
}

TEST(BrowserWindowModel, DetachesFromTheViewWhenDestroyed)
{
    orlavo::testing::FakeWebView view;
    orlavo::testing::FakeMessageSink sink;
    {
        BrowserWindowModel model(view, sink, {});
        EXPECT_TRUE(view.attached());
    }
    EXPECT_FALSE(view.attached());
}

}  // namespace
