#include "gui/web_engine_view.h"

#include <QUrl>
#include <QWebEngineView>

namespace orlavo::gui {

WebEngineView::WebEngineView(QWebEngineView& view) : m_view(view)
{
    connect(&m_view, &QWebEngineView::loadStarted, this, [this] {
        if (m_events != nullptr) {
            m_events->loadStarted();
        }
    });
    connect(&m_view, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (m_events != nullptr) {
            m_events->titleChanged(title.toStdString());
        }
    });
    // The view's own URL is the whole page's location, after any redirect.
    connect(&m_view, &QWebEngineView::loadFinished, this, [this](bool) {
        if (m_events != nullptr) {
            m_events->navigationComplete(m_view.url().toString().toStdString());
        }
    });
}

void WebEngineView::load(const std::string& url)
{
    m_view.load(QUrl::fromUserInput(QString::fromStdString(url)));
}

void WebEngineView::back()
{
    m_view.back();
}

void WebEngineView::forward()
{
    m_view.forward();
}

void WebEngineView::stop()
{
    m_view.stop();
}

void WebEngineView::reload()
{
    m_view.reload();
}

std::string WebEngineView::title() const
{
    return m_view.title().toStdString();
}

}  // namespace orlavo::gui
