#pragma once
// Browse's browser windows: each one fresh, with Home and Search read from
// data.ini as it opens, over the given parent. Borrows the settings and the
// message sink, which outlive every window it makes.
#include "discovery/browser_factory.h"
#include "platform/profile_file.h"
#include "shared/message_sink.h"

class QWidget;

namespace orlavo::gui {

class BrowserWindowFactory final : public discovery::BrowserFactory {
public:
    BrowserWindowFactory(QWidget* parent, const platform::ProfileFile& settings, signfeed::MessageSink& messages)
        : m_parent(parent), m_settings(settings), m_messages(messages)
    {
    }

    std::unique_ptr<discovery::BrowserWindow> createBrowserWindow() override;
    void setParent(QWidget* parent) { m_parent = parent; }

private:
    QWidget* m_parent;
    const platform::ProfileFile& m_settings;
    signfeed::MessageSink& m_messages;
};

}  // namespace orlavo::gui
