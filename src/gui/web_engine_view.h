#pragma once
// The browser model's WebView on a QWebEngineView: commands go to the view,
// and its load and title signals come back as the model's events. Borrows
// the view, which its window owns.
#include "browser/web_view.h"

#include <QObject>

class QWebEngineView;

namespace orlavo::gui {

class WebEngineView final : public QObject, public browser::WebView {
    Q_OBJECT

public:
    explicit WebEngineView(QWebEngineView& view);

    void setEvents(Events* events) override { m_events = events; }
    void load(const std::string& url) override;
    void back() override;
    void forward() override;
    void stop() override;
    void reload() override;
    [[nodiscard]] std::string title() const override;

private:
    QWebEngineView& m_view;
    Events* m_events = nullptr;
};

}  // namespace orlavo::gui
