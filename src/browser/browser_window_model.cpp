#include "browser/browser_window_model.h"

#include <algorithm>

namespace orlavo::browser {

BrowserWindowModel::BrowserWindowModel(WebView& view, signfeed::MessageSink& messages, BrowserPages pages)
    : m_view(view), m_messages(messages), m_pages(std::move(pages))
{
    m_view.setEvents(this);
}

BrowserWindowModel::~BrowserWindowModel()
{
    m_view.setEvents(nullptr);
}

void BrowserWindowModel::load()
{
    if (m_startingAddress.empty()) {
        return;
    }
    // The box keeps the address as typed; the loaded location joins it later.
    m_addressText = m_startingAddress;
    m_addresses.insert(m_addresses.begin(), m_startingAddress);
    notifyAddresses();
    navigate(m_startingAddress);
}

void BrowserWindowModel::chooseAddress(const std::string& text)
{
    if (m_addressText != text) {
        m_addressText = text;
        notifyAddresses();
    }
    navigate(text);
}

void BrowserWindowModel::navigate(const std::string& text)
{
    std::optional<std::string> url = loadableAddress(text);
    if (!url) {
        if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
            m_messages.showMessage(signfeed::MessageIcon::Exclamation, "Browser",
                                   "Cannot open \"" + text + "\": only http, https and file addresses open here.");
        }
        return;
    }
    m_watching = true;
    m_view.load(*url);
}

void BrowserWindowModel::command(void (WebView::*action)())
{
    m_watching = true;
    (m_view.*action)();
}

void BrowserWindowModel::back()
{
    command(&WebView::back);
}

void BrowserWindowModel::forward()
{
    command(&WebView::forward);
}

void BrowserWindowModel::refresh()
{
    command(&WebView::reload);
}

void BrowserWindowModel::home()
{
    const std::string& target = m_pages.home.empty() ? m_startingAddress : m_pages.home;
    navigate(target);
}

void BrowserWindowModel::search()
{
    navigate(m_pages.search);
}

void BrowserWindowModel::stop()
{
    m_watching = false;
    m_view.stop();
    showTitle();
}

void BrowserWindowModel::loadStarted()
{
    m_busy = true;
    if (m_watching) {
        setCaption(std::string(kWorkingCaption));
    }
}

void BrowserWindowModel::titleChanged(const std::string& title)
{
    // While a command's page loads the caption says so; the title follows.
    if (!(m_watching && m_busy)) {
        setCaption(captionText(title));
    }
}

void BrowserWindowModel::navigationComplete(const std::string& url)
{
    m_busy = false;
    m_watching = false;
    showTitle();
    remember(url);
}

void BrowserWindowModel::remember(const std::string& url)
{
    if (url.empty()) {
        return;
    }
    auto found = std::find(m_addresses.begin(), m_addresses.end(), url);
    if (found != m_addresses.end()) {
        m_addresses.erase(found);
    }
    m_addresses.insert(m_addresses.begin(), url);
    if (m_addresses.size() > kMaxAddresses) {
        m_addresses.resize(kMaxAddresses);
    }
    m_addressText = url;
    notifyAddresses();
}

void BrowserWindowModel::setCaption(std::string caption)
{
    if (caption == m_caption) {
        return;
    }
    m_caption = std::move(caption);
    if (m_listener != nullptr) {
        m_listener->captionChanged();
    }
}

void BrowserWindowModel::notifyAddresses()
{
    if (m_listener != nullptr) {
        m_listener->addressesChanged();
    }
}

}  // namespace orlavo::browser
