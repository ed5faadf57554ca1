#pragma once
// What the browser window needs from a web engine: the navigation commands
// and the page's title, plus the events it reports back. The desktop program
// implements it on its web engine view; tests fake it.
#include <string>

namespace orlavo::browser {

class WebView {
public:
    // Reported by the view on the window's thread.
    struct Events {
        virtual void loadStarted() = 0;
        virtual void titleChanged(const std::string& title) = 0;
        // The page has finished (or given up) loading; url is the whole
        // page's location, not that of a frame inside it.
        virtual void navigationComplete(const std::string& url) = 0;

    protected:
        ~Events() = default;
    };

    virtual ~WebView() = default;
    // nullptr detaches.
    virtual void setEvents(Events* events) = 0;
    virtual void load(const std::string& url) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual void reload() = 0;
    [[nodiscard]] virtual std::string title() const = 0;
};

}  // namespace orlavo::browser
