#include "gui/main_window.h"

#include "gui/sign_preview_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
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
    build();
    m_preview = new SignPreviewWidget(preview, this);
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(3, m_preview);
    preview.setChangeHandler([this] { m_preview->refresh(); });
    m_model.setListener(this);
    refreshAll();
}

MainWindow::~MainWindow()
{
    m_model.setListener(nullptr);
}

void MainWindow::build()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 12, 14, 10);
    layout->setSpacing(8);
    layout->addWidget(buildFeedArea());

    auto* previewHeading = new QLabel(QStringLiteral("RSS Data Received for Message Display:"), central);
    layout->addWidget(previewHeading);
    auto* trss = new QPlainTextEdit(central);
    trss->setReadOnly(true);
    trss->setLineWrapMode(QPlainTextEdit::NoWrap);
    trss->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    trss->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont verdana(QStringLiteral("Verdana"), 9);
    verdana.setStyleHint(QFont::SansSerif);
    trss->setFont(verdana);
    trss->setMinimumHeight(120);
    bind(Field::Trss, trss);
    layout->addWidget(trss, 1);
    // (the sign preview goes here, index 3)

    auto* settings = new QHBoxLayout;
    settings->setSpacing(10);
    settings->addWidget(buildMessageSettings());
    settings->addWidget(buildSignSettings());
    settings->addWidget(buildSerialSettings());
    layout->addLayout(settings);

    auto* status = new QLabel(central);
    status->setWordWrap(true);
    status->setStyleSheet(QStringLiteral("QLabel { color: #a33; padding: 2px 0; }"));
    bind(Field::Status, status);
    layout->addWidget(status);
    layout->addWidget(buildButtons());
    setCentralWidget(central);
    resize(780, 640);
}

QWidget* MainWindow::buildFeedArea()
{
    auto* area = new QWidget(this);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("RSS Feed URL (Press the Enter key after each entry):"), area));
    top->addStretch(1);
    for (Field label : {Field::Label15, Field::Label14, Field::Label13}) {
        top->addWidget(makeStatusLabel(label));
    }
    // "Last Update: " and the time read as one text: no gap between them, and
    // the time keeps room for a whole "00:00" even before the row re-lays out.
    auto* lastUpdate = new QHBoxLayout;
    lastUpdate->setSpacing(0);
    for (Field label : {Field::Label17, Field::Label18}) {
        auto* shown = new QLabel(area);
        shown->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
        bind(label, shown);
        lastUpdate->addWidget(shown);
    }
    auto* time = static_cast<QLabel*>(widgetFor(Field::Label18));
    time->setMinimumWidth(time->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 2);
    top->addLayout(lastUpdate);
    layout->addLayout(top);

    m_feeds = makeList(Field::AccessPointIP, true);
    m_feeds->setInsertPolicy(QComboBox::NoInsert);
    m_feeds->setMaxVisibleItems(26);
    m_feeds->lineEdit()->installEventFilter(this);
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
    addRow(Field::Count, QStringLiteral("Maximum Number of Messages to Display"), makeText(Field::Text3));
    addRow(Field::Count, QStringLiteral("Minutes Between Updates"), makeText(Field::Text5));
    addRow(Field::Count, QStringLiteral("Speed 1  -  5"), makeText(Field::Text4));
    QComboBox* scheme = makeList(Field::ColorScheme, true);
    connect(scheme, &QComboBox::activated, this, [this](int row) { m_model.chooseColorScheme(row); });
    addRow(Field::Count, QStringLiteral("Color Scheme"), scheme);
    QComboBox* intensity = makeList(Field::TypeFont, true);
    connect(intensity, &QComboBox::activated, this, [this](int row) { m_model.chooseTypeFont(row); });
    addRow(Field::Label19, QStringLiteral("Intensity"), intensity);
    grid->setRowStretch(row, 1);
    return box;
}

QWidget* MainWindow::buildSignSettings()
{
    auto* box = new QGroupBox(tr("Sign"), this);
    auto* grid = new QGridLayout(box);
    auto* addressLabel = new QLabel(QStringLiteral("Display IP Address"), box);
    QLineEdit* address = makeText(Field::Text1);
    address->setToolTip(QStringLiteral("255.255.255.255 = all displays on the subnet"));
    addressLabel->setBuddy(address);
    grid->addWidget(addressLabel, 0, 0, 1, 2);
    grid->addWidget(address, 1, 0, 1, 2);
    grid->addWidget(makeCheck(Field::Check1, QStringLiteral("Ethernet UDP")), 2, 0);
    QPushButton* discovery = makeButton(Field::Command3, QStringLiteral("IP Discovery"));
    connect(discovery, &QPushButton::clicked, this, [this] {
        if (m_openDiscovery) {
            m_openDiscovery(this);
        }
    });
    grid->addWidget(discovery, 2, 1);
    grid->addWidget(makeCheck(Field::Check3, QStringLiteral("Embedded in Clock")), 3, 0, 1, 2);
    grid->addWidget(makeCheck(Field::Check4, QStringLiteral("Smart LED Display")), 4, 0, 1, 2);
    grid->setRowStretch(5, 1);
    return box;
}

QWidget* MainWindow::buildSerialSettings()
{
    auto* box = new QGroupBox(tr("Serial"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(makeCheck(Field::Check2, QStringLiteral("Serial Communications")), 0, 0, 1, 2);
    QComboBox* port = makeList(Field::Combo1, true);
    port->setInsertPolicy(QComboBox::NoInsert);
    connect(port, &QComboBox::activated, this, [this](int row) { m_model.choosePort(row); });
    QComboBox* baud = makeList(Field::Combo2, true);
    baud->setInsertPolicy(QComboBox::NoInsert);
    connect(baud, &QComboBox::activated, this, [this](int row) { m_model.chooseBaud(row); });
    auto* portLabel = new QLabel(QStringLiteral("Comm Port"), box);
    portLabel->setBuddy(port);
    auto* baudLabel = new QLabel(QStringLiteral("Baud Rate"), box);
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
    QPushButton* reset = makeButton(Field::Command2, QStringLiteral("Reset Sign"));
    connect(reset, &QPushButton::clicked, this, [this] { m_program.link().resetSign(); });
    QPushButton* request = makeButton(Field::BRequest, QStringLiteral("Request and Display RSS"));
    request->setToolTip(QStringLiteral("Connect to server and download specified file."));
    request->setDefault(false);
    connect(request, &QPushButton::clicked, this, [this] { m_program.cycle().requestUpdate(); });
    QPushButton* exit = makeButton(Field::Command1, QStringLiteral("Exit"));
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
    // The status line shows only when there is something to say.
    const bool visible = control.visible && (field != Field::Status || !control.text.empty());
    widget->setVisible(visible);
    widget->setEnabled(control.enabled);
}

void MainWindow::closeRequested()
{
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_feeds != nullptr && watched == m_feeds->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_model.feedKeyPress(13);
            return true;  // the list itself adds nothing
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace orlavo::gui
