#pragma once
// WebView that loads nothing: records each command as text ("load URL",
// "back", ...) and lets the test report the view's events.
#include "browser/web_view.h"

#include <string>
#include <vector>

namespace orlavo::testing {

class FakeWebView final : public browser::WebView {
public:
    void setEvents(Events* events) override { m_events = events; }
    void load(const std::string& url) override { calls.push_back("load " + url); }
    void back() override { calls.push_back("back"); }
    void forward() override { calls.push_back("forward"); }
    void stop() override { calls.push_back("stop"); }
    void reload() override { calls.push_back("reload"); }
    [[nodiscard]] std::string title() const override { return pageTitle; }

    void started() { m_events->loadStarted(); }
    void titled(std::string title)
    {
        pageTitle = std::move(title);
        m_events->titleChanged(pageTitle);
    }
    void completed(const std::string& url) { m_events->navigationComplete(url); }
    [[nodiscard]] bool attached() const { return m_events != nullptr; }

    std::vector<std::string> calls;
    std::string pageTitle;

private:
    Events* m_events = nullptr;
};

}  // namespace orlavo::testing
