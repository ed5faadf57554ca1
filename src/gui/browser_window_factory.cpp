#include "gui/browser_window_factory.h"

#include "browser/browser_settings.h"
#include "gui/browser_window.h"

namespace orlavo::gui {

std::unique_ptr<discovery::BrowserWindow> BrowserWindowFactory::createBrowserWindow()
{
    return std::make_unique<BrowserWindow>(m_parent, m_messages, browser::readBrowserPages(m_settings));
}

}  // namespace orlavo::gui
