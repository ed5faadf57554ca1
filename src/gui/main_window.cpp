#include "gui/main_window.h"

#include "gui/sign_preview_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QUrl>
#include <QVBoxLayout>

namespace orlavo::gui {

using signfeed::Control;
using signfeed::Field;

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QStringList entriesOf(const Control& control)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(control.entries.size()));
    for (const std::string& entry : control.entries) {
        list.push_back(qs(entry));
    }
    return list;
}

void showList(QComboBox& box, const Control& control)
{
    const QStringList wanted = entriesOf(control);
    QStringList current;
    for (int i = 0; i < box.count(); ++i) {
        current.push_back(box.itemText(i));
    }
    if (current != wanted) {
        box.clear();
        box.addItems(wanted);
    }
    box.setCurrentIndex(control.selectedIndex);
    if (box.isEditable() && box.currentText() != qs(control.text)) {
        box.setEditText(qs(control.text));
    }
}

// A label that comes and goes keeps its room, so nothing around it moves.
void keepRoomWhenHidden(QWidget& widget)
{
    QSizePolicy policy = widget.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget.setSizePolicy(policy);
}

// The scrolled part of the window. A scroll area sizes a part whose layout
// has height-for-width items at their preferred heights; this one shrinks
// to its minimum on a small screen (its wrapped note has a fixed height).
class ScrolledLayout final : public QVBoxLayout {
public:
    using QVBoxLayout::QVBoxLayout;
    [[nodiscard]] bool hasHeightForWidth() const override { return false; }
};

QString withoutMnemonic(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

void showCheck(QCheckBox& box, int value)
{
    // Greyed (2) only when the settings say so; a click never makes it.
    box.setTristate(value == 2);
    box.setCheckState(value == 2 ? Qt::PartiallyChecked : value == 1 ? Qt::Checked : Qt::Unchecked);
}

}  // namespace

MainWindow::MainWindow(signfeed::FeedProgram& program, signfeed::SignPreview& preview,
                       std::function<void(QWidget* parent)> openDiscovery)
    : m_program(program), m_model(program.window()), m_openDiscovery(std::move(openDiscovery))
{
    setWindowTitle(QStringLiteral("Velmor RSS Feed Display"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("orlavo"), QIcon(QStringLiteral(":/orlavo.svg"))));
    m_preview = new SignPreviewWidget(preview, this);
    build();
    buildHelpMenu();
    preview.setChangeHandler([this] { m_preview->refresh(); });
    m_model.setListener(this);
    refreshAll();
    fitScreen();
}

MainWindow::~MainWindow()
{
    m_model.setListener(nullptr);
}

void MainWindow::build()
{
    // Everything but the button row scrolls, so on a small screen the
    // buttons stay in reach.
    auto* content = new QWidget(this);
    auto* layout = new ScrolledLayout(content);
    layout->setContentsMargins(10, 10, 10, 4);
    layout->setSpacing(8);
    layout->addWidget(buildFeedArea());

    auto* previewHeading = new QLabel(QStringLiteral("RSS Data Received for Message Display:"), content);
    layout->addWidget(previewHeading);
    auto* trss = new QPlainTextEdit(content);
    trss->setReadOnly(true);
    trss->setLineWrapMode(QPlainTextEdit::NoWrap);
    trss->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    trss->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont verdana(QStringLiteral("Verdana"), 9);
    verdana.setStyleHint(QFont::SansSerif);
    trss->setFont(verdana);
    trss->setMinimumHeight(90);
    trss->setTabChangesFocus(true);
    previewHeading->setBuddy(trss);
    bind(Field::Trss, trss);
    layout->addWidget(trss, 1);
    layout->addWidget(m_preview);

    auto* settings = new QHBoxLayout;
    settings->setSpacing(8);
    settings->addWidget(buildMessageSettings());
    settings->addWidget(buildSignSettings());
    settings->addWidget(buildSerialSettings());
    layout->addLayout(settings);

    // Under the scrolled part, with two lines of room always, shown or not:
    // what went wrong stays in sight and the text area never shrinks when
    // it comes; a longer text is in the tooltip.
    auto* status = new QLabel(this);
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status->setStyleSheet(QStringLiteral("QLabel { color: #a33; }"));
    status->setFixedHeight(2 * status->fontMetrics().lineSpacing() + 2);
    status->setAccessibleName(QStringLiteral("Status"));
    status->setContentsMargins(12, 0, 12, 0);
    bind(Field::Status, status);

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 10);
    outer->setSpacing(0);
    outer->addWidget(scroll, 1);
    outer->addWidget(status);
    QWidget* buttons = buildButtons();
    buttons->setContentsMargins(12, 0, 12, 0);
    outer->addWidget(buttons);
    setCentralWidget(central);
    nameByBuddies();
}

void MainWindow::nameByBuddies()
{
    // Screen readers name a field by its caption, as a sighted user does.
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            label->buddy()->setAccessibleName(withoutMnemonic(label->text()).remove(QLatin1Char(':')).trimmed());
        }
    }
}

void MainWindow::fitScreen()
{
    QSize wanted(840, 640);
    if (const QScreen* shown = screen()) {
        // Room for the title bar and frame the window manager adds.
        const QSize room = shown->availableGeometry().size() - QSize(16, 48);
        wanted = wanted.boundedTo(room);
    }
    resize(wanted);
}

void MainWindow::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* guide = help->addAction(QStringLiteral("&User Guide"), this, [this] { openUserGuide(); });
    guide->setShortcut(QKeySequence::HelpContents);
    help->addAction(QStringLiteral("&About Orlavo"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Orlavo"), aboutText());
    });
}

QString MainWindow::userGuidePath() const
{
    // Installed docs first; a program run from its build tree has the sources'.
    for (const char* dir : {ORLAVO_INSTALLED_DOC_DIR, ORLAVO_SOURCE_DIR}) {
        const QString readme = QDir(QString::fromUtf8(dir)).filePath(QStringLiteral("README.md"));
        if (QFileInfo::exists(readme)) {
            return readme;
        }
    }
    return {};
}

void MainWindow::openUserGuide()
{
    const QString guide = userGuidePath();
    if (guide.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
        QMessageBox::information(this, QStringLiteral("User Guide"),
                                 QStringLiteral("The user guide was not found or no program opens it. It is "
                                                "README.md in %1.")
                                     .arg(QString::fromUtf8(ORLAVO_INSTALLED_DOC_DIR)));
    }
}

QString MainWindow::aboutText() const
{
    const QString guide = userGuidePath();
    return QStringLiteral("<p><b>Orlavo %1</b><br>Puts the headlines of news feeds on LED message signs.</p>"
                          "<p>Licence: %2</p><p>Settings file:<br>%3</p><p>Documentation:<br>%4</p>")
        .arg(QString::fromStdString(m_model.version()),
             QStringLiteral(ORLAVO_LICENCE),
             m_settingsPath.isEmpty() ? QStringLiteral("(none)") : m_settingsPath.toHtmlEscaped(),
             guide.isEmpty() ? QString::fromUtf8(ORLAVO_INSTALLED_DOC_DIR).toHtmlEscaped()
                             : QFileInfo(guide).absolutePath().toHtmlEscaped());
}

QWidget* MainWindow::buildFeedArea()
{
    auto* area = new QWidget(this);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    auto* feedLabel = new QLabel(QStringLiteral("RSS &Feed URL (Press the Enter key after each entry):"), area);
    top->addWidget(feedLabel);
    top->addStretch(1);
    // One place at the top right: the step of the update running, or the
    // time of the last one. They share one cell, so the row keeps its room
    // and nothing moves as they take turns.
    auto* progress = new QGridLayout;
    progress->setContentsMargins(0, 0, 0, 0);
    for (Field label : {Field::Label15, Field::Label14, Field::Label13}) {
        progress->addWidget(makeStatusLabel(label), 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    }
    // "Last Update: " and the time read as one text: no gap between them, and
    // the time keeps room for a whole "00:00" even before the row re-lays out.
    auto* lastUpdate = new QHBoxLayout;
    lastUpdate->setSpacing(0);
    for (Field label : {Field::Label17, Field::Label18}) {
        auto* shown = new QLabel(area);
        shown->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
        keepRoomWhenHidden(*shown);
        bind(label, shown);
        lastUpdate->addWidget(shown);
    }
    auto* time = static_cast<QLabel*>(widgetFor(Field::Label18));
    time->setMinimumWidth(time->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 2);
    progress->addLayout(lastUpdate, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    top->addLayout(progress);
    layout->addLayout(top);

    m_feeds = makeList(Field::AccessPointIP, true);
    m_feeds->setInsertPolicy(QComboBox::NoInsert);
    m_feeds->setMaxVisibleItems(26);
    // A feed address is typed whole: completing it from another slot's
    // address would store the wrong feed.
    m_feeds->setCompleter(nullptr);
    // A long stored address must not widen the window past the screen.
    m_feeds->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_feeds->setMinimumContentsLength(24);
    feedLabel->setBuddy(m_feeds);
    // The key reaches the list's line edit through the list, which has the
    // focus: its Enter signal is what a person's key press raises.
    connect(m_feeds->lineEdit(), &QLineEdit::returnPressed, this, [this] { m_model.feedKeyPress(13); });
    connect(m_feeds, &QComboBox::activated, this, [this](int row) { m_model.chooseFeedSlot(row); });
    connect(m_feeds->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { m_model.editFeedText(text.toStdString()); });
    layout->addWidget(m_feeds);

    auto* options = new QHBoxLayout;
    const std::array<std::pair<Field, QString>, 2> captions = {
        {{Field::Option0, QStringLiteral("Use only the selected RSS feed")},
         {Field::Option1, QStringLiteral("Use all the RSS feeds in the list")}}};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(captions[static_cast<std::size_t>(i)].second, area);
        option->setAutoExclusive(false);  // the model decides; both may be cleared
        connect(option, &QRadioButton::clicked, this, [this, i] { m_model.chooseOption(i); });
        bind(captions[static_cast<std::size_t>(i)].first, option);
        options->addWidget(option);
    }
    options->addStretch(1);
    layout->addLayout(options);
    return area;
}

QWidget* MainWindow::buildMessageSettings()
{
    auto* box = new QGroupBox(tr("Messages"), this);
    auto* grid = new QGridLayout(box);
    int row = 0;
    auto addRow = [&](Field labelField, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, box);
        label->setBuddy(field);
        if (labelField != Field::Count) {
            bind(labelField, label);
        }
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    addRow(Field::Count, QStringLiteral("Maximum &Number of Messages to Display"), makeText(Field::Text3));
    addRow(Field::Count, QStringLiteral("Minutes Between &Updates"), makeText(Field::Text5));
    addRow(Field::Count, QStringLiteral("S&peed 1  -  5"), makeText(Field::Text4));
    QComboBox* scheme = makeList(Field::ColorScheme, true);
    scheme->setSizeAdjustPolicy(QComboBox::AdjustToContents);  // "Multicolor" whole
    connect(scheme, &QComboBox::activated, this, [this](int row) { m_model.chooseColorScheme(row); });
    addRow(Field::Count, QStringLiteral("C&olor Scheme"), scheme);
    QComboBox* intensity = makeList(Field::TypeFont, true);
    connect(intensity, &QComboBox::activated, this, [this](int row) { m_model.chooseTypeFont(row); });
    addRow(Field::Label19, QStringLiteral("In&tensity"), intensity);
    grid->setRowStretch(row, 1);
    return box;
}

QWidget* MainWindow::buildSignSettings()
{
    auto* box = new QGroupBox(tr("Sign"), this);
    auto* grid = new QGridLayout(box);
    auto* addressLabel = new QLabel(QStringLiteral("Display IP &Address"), box);
    QLineEdit* address = makeText(Field::Text1);
    // Enter, Tab or a click elsewhere: frames go to the address shown from now on.
    connect(address, &QLineEdit::editingFinished, this, [this] { m_model.aimUdpLink(); });
    address->setToolTip(QStringLiteral("255.255.255.255 = all displays on the subnet"));
    addressLabel->setBuddy(address);
    grid->addWidget(addressLabel, 0, 0, 1, 2);
    grid->addWidget(address, 1, 0, 1, 2);
    grid->addWidget(makeCheck(Field::Check1, QStringLiteral("&Ethernet UDP")), 2, 0);
    QPushButton* discovery = makeButton(Field::Command3, QStringLiteral("&IP Discovery"));
    connect(discovery, &QPushButton::clicked, this, [this] {
        if (m_openDiscovery) {
            m_openDiscovery(this);
        }
    });
    grid->addWidget(discovery, 2, 1);
    grid->addWidget(makeCheck(Field::Check3, QStringLiteral("Embedded in C&lock")), 3, 0, 1, 2);
    grid->addWidget(makeCheck(Field::Check4, QStringLiteral("Smart LE&D Display")), 4, 0, 1, 2);
    auto* note = new QLabel(box);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    note->setAccessibleName(QStringLiteral("Sign link note"));
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    note->setFixedHeight(3 * note->fontMetrics().lineSpacing());
    keepRoomWhenHidden(*note);
    bind(Field::LinkNote, note);
    grid->addWidget(note, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    return box;
}

QWidget* MainWindow::buildSerialSettings()
{
    auto* box = new QGroupBox(tr("Serial"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(makeCheck(Field::Check2, QStringLiteral("Serial &Communications")), 0, 0, 1, 2);
    QComboBox* port = makeList(Field::Combo1, true);
    port->setInsertPolicy(QComboBox::NoInsert);
    connect(port, &QComboBox::activated, this, [this](int row) { m_model.choosePort(row); });
    QComboBox* baud = makeList(Field::Combo2, true);
    baud->setInsertPolicy(QComboBox::NoInsert);
    connect(baud, &QComboBox::activated, this, [this](int row) { m_model.chooseBaud(row); });
    auto* portLabel = new QLabel(QStringLiteral("Co&mm Port"), box);
    portLabel->setBuddy(port);
    auto* baudLabel = new QLabel(QStringLiteral("&Baud Rate"), box);
    baudLabel->setBuddy(baud);
    grid->addWidget(portLabel, 1, 0);
    grid->addWidget(port, 1, 1);
    grid->addWidget(baudLabel, 2, 0);
    grid->addWidget(baud, 2, 1);
    grid->setRowStretch(3, 1);
    return box;
}

QWidget* MainWindow::buildButtons()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 0);
    auto* version = new QLabel(row);
    // Quiet, not disabled: the binding sets every widget's enabled flag from the model.
    version->setForegroundRole(QPalette::PlaceholderText);
    bind(Field::LblVersion, version);
    layout->addWidget(version);
    layout->addStretch(1);
    QPushButton* reset = makeButton(Field::Command2, QStringLiteral("Re&set Sign"));
    connect(reset, &QPushButton::clicked, this, [this] { m_program.link().resetSign(); });
    QPushButton* request = makeButton(Field::BRequest, QStringLiteral("&Request and Display RSS"));
    request->setToolTip(QStringLiteral("Connect to server and download specified file."));
    request->setDefault(false);
    connect(request, &QPushButton::clicked, this, [this] { m_program.cycle().requestUpdate(); });
    QPushButton* exit = makeButton(Field::Command1, QStringLiteral("E&xit"));
    connect(exit, &QPushButton::clicked, this, [this] { m_model.close(); });
    for (QPushButton* button : {reset, request, exit}) {
        button->setAutoDefault(false);
        layout->addWidget(button);
    }
    return row;
}

QCheckBox* MainWindow::makeCheck(Field field, const QString& caption)
{
    auto* box = new QCheckBox(caption, this);
    connect(box, &QCheckBox::clicked, this, [this, field, box] { m_model.editCheck(field, box->isChecked() ? 1 : 0); });
    bind(field, box);
    return box;
}

QLineEdit* MainWindow::makeText(Field field)
{
    auto* edit = new QLineEdit(this);
    connect(edit, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { m_model.editText(field, text.toStdString()); });
    bind(field, edit);
    return edit;
}

QComboBox* MainWindow::makeList(Field field, bool editable)
{
    auto* box = new QComboBox(this);
    box->setEditable(editable);
    if (editable) {
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    bind(field, box);
    return box;
}

QLabel* MainWindow::makeStatusLabel(Field field)
{
    auto* label = new QLabel(this);
    QFont bold = label->font();
    bold.setBold(true);
    bold.setPointSize(12);
    label->setFont(bold);
    label->setStyleSheet(QStringLiteral("QLabel { color: #d01010; }"));
    keepRoomWhenHidden(*label);
    bind(field, label);
    return label;
}

QPushButton* MainWindow::makeButton(Field field, const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    bind(field, button);
    return button;
}

void MainWindow::bind(Field field, QWidget* widget)
{
    m_widgets[index(field)] = widget;
}

void MainWindow::refreshAll()
{
    for (std::size_t i = 0; i < signfeed::kFieldCount; ++i) {
        fieldChanged(static_cast<Field>(i));
    }
}

void MainWindow::fieldChanged(Field field)
{
    QWidget* widget = widgetFor(field);
    if (widget == nullptr) {
        return;
    }
    const Control& control = m_model.control(field);
    const QSignalBlocker blocker(widget);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (field != Field::Label19) {  // its caption is the window's, not a model text
            label->setText(qs(control.text));
        }
        if (field == Field::Status || field == Field::LinkNote) {
            label->setToolTip(qs(control.text));
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        showCheck(*box, control.value);
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        option->setChecked(control.value == 1);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != qs(control.text)) {
            edit->setText(qs(control.text));
        }
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
        showList(*list, control);
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        if (text->toPlainText() != qs(control.text)) {
            text->setPlainText(qs(control.text));
        }
    }
    widget->setVisible(control.visible);
    widget->setEnabled(control.enabled);
}

void MainWindow::setSettingsPath(const QString& path)
{
    m_settingsPath = path;
    // The whole path, shortened at home: two signs' files may share a name.
    QString shown = QDir::toNativeSeparators(path);
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    if (shown.startsWith(home + QDir::separator())) {
        shown = QStringLiteral("~") + shown.mid(home.size());
    }
    setWindowTitle(QStringLiteral("%1 - Velmor RSS Feed Display").arg(shown));
    setWindowFilePath(path);
}

void MainWindow::closeRequested()
{
    if (m_closeHandler) {
        m_closeHandler();
        return;
    }
    // The model has written its settings: the window may go now.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_model.closed()) {
        event->accept();
        return;
    }
    // The close sequence waits for a frame going out; the window goes when it has run.
    event->ignore();
    m_model.close();
}

}  // namespace orlavo::gui
