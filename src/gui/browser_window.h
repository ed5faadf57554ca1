#pragma once
// The browser window: a toolbar, the address box and a web engine view,
// bound to a BrowserWindowModel that holds every rule. The discovery dialog
// opens a fresh one per Browse, beside itself.
#include "browser/browser_window_model.h"
#include "discovery/browser_factory.h"
#include "gui/web_engine_view.h"

#include <QDialog>

#include <array>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QWebEngineView;

namespace orlavo::gui {

class BrowserWindow final : public QDialog,
                            public discovery::BrowserWindow,
                            private browser::BrowserWindowModel::Listener {
    Q_OBJECT

public:
    enum class Tool { Back, Forward, Stop, Refresh, Home, Search };

    BrowserWindow(QWidget* parent, signfeed::MessageSink& messages, browser::BrowserPages pages);
    ~BrowserWindow() override;

    // discovery::BrowserWindow
    void setStartingAddress(const std::string& address) override;
    void showModal() override;
    // Shows the window and runs the model's load without waiting for a close.
    void start();

    [[nodiscard]] const browser::BrowserWindowModel& model() const { return *m_model; }
    [[nodiscard]] QAction* tool(Tool tool) const;
    [[nodiscard]] QComboBox* addressBox() const { return m_address; }
    [[nodiscard]] QWebEngineView* webView() const { return m_web; }
    // The note that pages run without the sandbox (null when they do not).
    [[nodiscard]] QLabel* sandboxNote() const { return m_sandboxNote; }

private:
    void buildToolBar(QLayout& layout);
    // BrowserWindowModel::Listener
    void captionChanged() override;
    void addressesChanged() override;

    QWebEngineView* m_web = nullptr;
    QComboBox* m_address = nullptr;
    QLabel* m_sandboxNote = nullptr;
    std::array<QAction*, 6> m_tools{};
    std::unique_ptr<WebEngineView> m_view;
    std::unique_ptr<browser::BrowserWindowModel> m_model;
};

}  // namespace orlavo::gui
