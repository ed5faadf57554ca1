#pragma once
// The main window: builds the widgets, keeps them equal to the main window
// model's fields and forwards every edit, click and key to the model. All
// rules live in the models; this class only binds.
#include "signfeed/feed_program.h"
#include "signfeed/main_window_model.h"
#include "signfeed/sign_preview.h"
#include "signfeed/window_controls.h"

#include <QMainWindow>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace orlavo::gui {

class SignPreviewWidget;

class MainWindow final : public QMainWindow, private signfeed::MainWindowModel::Listener {
    Q_OBJECT

public:
    // openDiscovery runs the discovery dialog modally over this window.
    MainWindow(signfeed::FeedProgram& program, signfeed::SignPreview& preview,
               std::function<void(QWidget* parent)> openDiscovery);
    ~MainWindow() override;

    // The widget bound to a field (null for the fields no window shows).
    [[nodiscard]] QWidget* widgetFor(signfeed::Field field) const { return m_widgets[index(field)]; }
    [[nodiscard]] SignPreviewWidget* preview() const { return m_preview; }
    // Every field shown again from the model, as after the start-up sequence.
    void refreshAll();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static std::size_t index(signfeed::Field field) { return static_cast<std::size_t>(field); }
    void fieldChanged(signfeed::Field field) override;
    void closeRequested() override;

    void build();
    QWidget* buildFeedArea();
    QWidget* buildMessageSettings();
    QWidget* buildSignSettings();
    QWidget* buildSerialSettings();
    QWidget* buildButtons();
    QCheckBox* makeCheck(signfeed::Field field, const QString& caption);
    QLineEdit* makeText(signfeed::Field field);
    QComboBox* makeList(signfeed::Field field, bool editable);
    QLabel* makeStatusLabel(signfeed::Field field);
    QPushButton* makeButton(signfeed::Field field, const QString& caption);
    void bind(signfeed::Field field, QWidget* widget);

    signfeed::FeedProgram& m_program;
    signfeed::MainWindowModel& m_model;
    std::function<void(QWidget*)> m_openDiscovery;
    std::array<QWidget*, signfeed::kFieldCount> m_widgets{};
    QComboBox* m_feeds = nullptr;
    SignPreviewWidget* m_preview = nullptr;
    bool m_refreshing = false;
};

}  // namespace orlavo::gui
