#include "gui/browser_window.h"

#include "gui/web_engine_sandbox.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace orlavo::gui {

namespace {

struct ToolButton {
    BrowserWindow::Tool tool;
    const char* caption;
    const char* themeIcon;  // freedesktop icon name
    QStyle::StandardPixmap fallback;
    void (browser::BrowserWindowModel::*command)();
};

const std::array<ToolButton, 6> kTools{{
    {BrowserWindow::Tool::Back, "Back", "go-previous", QStyle::SP_ArrowBack, &browser::BrowserWindowModel::back},
    {BrowserWindow::Tool::Forward, "Forward", "go-next", QStyle::SP_ArrowForward,
     &browser::BrowserWindowModel::forward},
    {BrowserWindow::Tool::Stop, "Stop", "process-stop", QStyle::SP_BrowserStop, &browser::BrowserWindowModel::stop},
    {BrowserWindow::Tool::Refresh, "Refresh", "view-refresh", QStyle::SP_BrowserReload,
     &browser::BrowserWindowModel::refresh},
    {BrowserWindow::Tool::Home, "Home", "go-home", QStyle::SP_DirHomeIcon, &browser::BrowserWindowModel::home},
    {BrowserWindow::Tool::Search, "Search", "edit-find", QStyle::SP_FileDialogContentsView,
     &browser::BrowserWindowModel::search},
}};

// The designed inner area, 8925 by 7635 twips, at 15 twips to a pixel.
constexpr int kWidthPx = 8925 / 15;
constexpr int kHeightPx = 7635 / 15;

}  // namespace

BrowserWindow::BrowserWindow(QWidget* parent, signfeed::MessageSink& messages, browser::BrowserPages pages)
    : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar(*layout);

    auto* strip = new QHBoxLayout;
    strip->setContentsMargins(8, 6, 8, 6);
    strip->setSpacing(6);
    auto* label = new QLabel(QStringLiteral("&Address:"), this);
    m_address = new QComboBox(this);
    m_address->setEditable(true);
    // The model decides what the box lists.
    m_address->setInsertPolicy(QComboBox::NoInsert);
    m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    label->setBuddy(m_address);
    m_address->setAccessibleName(QStringLiteral("Address"));
    strip->addWidget(label);
    strip->addWidget(m_address, 1);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    strip->addWidget(close);
    layout->addLayout(strip);
    if (webEngineSandboxOff()) {
        m_sandboxNote = new QLabel(QStringLiteral("Running as root: pages run without the web engine's sandbox. "
                                                  "Open only pages you trust, such as your signs'."),
                                   this);
        m_sandboxNote->setWordWrap(true);
        m_sandboxNote->setContentsMargins(8, 0, 8, 6);
        layout->addWidget(m_sandboxNote);
    }

    m_web = new QWebEngineView(this);
    layout->addWidget(m_web, 1);
    m_view = std::make_unique<WebEngineView>(*m_web);
    m_model = std::make_unique<browser::BrowserWindowModel>(*m_view, messages, std::move(pages));
    m_model->setListener(this);
    m_tools[static_cast<std::size_t>(Tool::Search)]->setEnabled(m_model->searchAvailable());

    connect(m_address, &QComboBox::activated, this,
            [this](int index) { m_model->chooseAddress(m_address->itemText(index).toStdString()); });
    connect(m_address->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { m_model->chooseAddress(m_address->currentText().toStdString()); });
    resize(kWidthPx, kHeightPx);
    // Never larger than the screen, so Close and the toolbar stay in reach.
    if (const QScreen* shown = screen()) {
        resize(size().boundedTo(shown->availableGeometry().size() - QSize(16, 48)));
    }
}

BrowserWindow::~BrowserWindow()
{
    m_model->setListener(nullptr);
    // The model detaches from the view before the view's widget goes.
    m_model.reset();
}

void BrowserWindow::buildToolBar(QLayout& layout)
{
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(22, 22));
    for (const ToolButton& button : kTools) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(button.themeIcon), style()->standardIcon(button.fallback));
        QAction* action = bar->addAction(icon, QString::fromLatin1(button.caption));
        action->setToolTip(QString::fromLatin1(button.caption));
        connect(action, &QAction::triggered, this, [this, command = button.command] { ((*m_model).*command)(); });
        m_tools[static_cast<std::size_t>(button.tool)] = action;
    }
    layout.addWidget(bar);
}

QAction* BrowserWindow::tool(Tool tool) const
{
    return m_tools[static_cast<std::size_t>(tool)];
}

void BrowserWindow::setStartingAddress(const std::string& address)
{
    m_model->setStartingAddress(address);
}

void BrowserWindow::start()
{
    show();
    m_model->load();
}

void BrowserWindow::showModal()
{
    // Not modal: the discovery window stays usable beside the pages. Browse
    // returns when this window closes.
    QEventLoop untilClosed;
    connect(this, &QDialog::finished, &untilClosed, &QEventLoop::quit);
    start();
    untilClosed.exec();
}

void BrowserWindow::captionChanged()
{
    setWindowTitle(QString::fromStdString(m_model->caption()));
}

void BrowserWindow::addressesChanged()
{
    QStringList items;
    for (const auto& address : m_model->addresses()) {
        items << QString::fromStdString(address);
    }
    const QSignalBlocker quiet(m_address);
    m_address->clear();
    m_address->addItems(items);
    m_address->setEditText(QString::fromStdString(m_model->addressText()));
    m_tools[static_cast<std::size_t>(Tool::Search)]->setEnabled(m_model->searchAvailable());
}

}  // namespace orlavo::gui
