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
    // Named in About and in the title.
    void setSettingsPath(const QString& path);
    // Runs instead of closing the window once the close sequence has written
    // the settings: the desktop program opens another file then.
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }
    // Version, licence, the settings file and where the docs are.
    [[nodiscard]] QString aboutText() const;
    // The user guide on this machine (README.md of the docs), or empty.
    [[nodiscard]] QString userGuidePath() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static std::size_t index(signfeed::Field field) { return static_cast<std::size_t>(field); }
    void fieldChanged(signfeed::Field field) override;
    void closeRequested() override;

    void build();
    void buildHelpMenu();
    void nameByBuddies();
    void fitScreen();
    void openUserGuide();
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
    QString m_settingsPath;
    std::function<void()> m_closeHandler;
};

}  // namespace orlavo::gui
