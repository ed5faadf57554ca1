#pragma once
// The browser window without a user interface: the address box with the
// pages visited in this window (newest first, each once), the caption, and
// the toolbar's commands, over a WebView it borrows. One model per window;
// the history lives as long as the window.
#include "browser/browser_address.h"
#include "browser/browser_settings.h"
#include "browser/web_view.h"
#include "shared/message_sink.h"

#include <cstddef>
#include <string>
#include <vector>

namespace orlavo::browser {

inline constexpr std::string_view kWorkingCaption = "Working...";
// A page that keeps changing its address must not grow the box without end.
inline constexpr std::size_t kMaxAddresses = 200;

class BrowserWindowModel final : private WebView::Events {
public:
    struct Listener {
        virtual void captionChanged() = 0;
        // The items, the box's text or the Search button's state.
        virtual void addressesChanged() = 0;

    protected:
        ~Listener() = default;
    };

    BrowserWindowModel(WebView& view, signfeed::MessageSink& messages, BrowserPages pages);
    ~BrowserWindowModel();
    BrowserWindowModel(const BrowserWindowModel&) = delete;
    BrowserWindowModel& operator=(const BrowserWindowModel&) = delete;
    void setListener(Listener* listener) { m_listener = listener; }

    // Set by the opener before load(); empty: no page at start.
    void setStartingAddress(std::string address) { m_startingAddress = std::move(address); }
    // The window is shown: the starting address becomes the box's text and
    // first item, and is loaded.
    void load();
    // An item chosen, or Enter in the box with text.
    void chooseAddress(const std::string& text);
    void back();
    void forward();
    void refresh();
    void home();
    void search();
    // Ends loading; the caption shows what has arrived so far.
    void stop();

    [[nodiscard]] const std::string& caption() const { return m_caption; }
    [[nodiscard]] const std::string& addressText() const { return m_addressText; }
    [[nodiscard]] const std::vector<std::string>& addresses() const { return m_addresses; }
    [[nodiscard]] bool searchAvailable() const { return !m_pages.search.empty(); }
    // True from a command until the page it started has loaded (or Stop).
    [[nodiscard]] bool watching() const { return m_watching; }

private:
    // WebView::Events
    void loadStarted() override;
    void titleChanged(const std::string& title) override;
    void navigationComplete(const std::string& url) override;

    void navigate(const std::string& text);
    void command(void (WebView::*action)());
    void setCaption(std::string caption);
    void showTitle() { setCaption(captionText(m_view.title())); }
    void remember(const std::string& url);
    void notifyAddresses();

    WebView& m_view;
    signfeed::MessageSink& m_messages;
    BrowserPages m_pages;
    Listener* m_listener = nullptr;
    std::string m_startingAddress;
    std::string m_caption;
    std::string m_addressText;
    std::vector<std::string> m_addresses;
    bool m_watching = false;
    bool m_busy = false;
};

}  // namespace orlavo::browser
