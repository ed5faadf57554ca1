#pragma once
// What the Browse button needs from the browser window: a fresh window per
// click, given its starting address and shown modally. The desktop program
// supplies the real one; the discovery model only asks for it.
#include <memory>
#include <string>

namespace orlavo::discovery {

class BrowserWindow {
public:
    virtual ~BrowserWindow() = default;
    // The unchanged address field, also when empty (then no page is loaded).
    virtual void setStartingAddress(const std::string& address) = 0;
    // Returns when the window has been closed.
    virtual void showModal() = 0;
};

class BrowserFactory {
public:
    virtual std::unique_ptr<BrowserWindow> createBrowserWindow() = 0;

protected:
    ~BrowserFactory() = default;
};

}  // namespace orlavo::discovery
