#include "gui/discovery_dialog.h"

#include "gui/message_box_sink.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace orlavo::gui {

using discovery::DiscoveryField;
using F = DiscoveryField;
using Model = discovery::DiscoveryWindowModel;

namespace {

constexpr int kTwipsPerInch = 1440;

std::size_t index(F field)
{
    return static_cast<std::size_t>(field);
}

// A field's room for its longest text plus the frame, in the user's font.
int fieldWidth(const QWidget& widget, int chars)
{
    return widget.fontMetrics().horizontalAdvance(QString(chars + 2, QLatin1Char('0')));
}

// Alt and the first letter presses a button whose caption names no key.
QString withMnemonic(const QString& caption)
{
    return caption.contains(QLatin1Char('&')) || caption.isEmpty() ? caption : QLatin1Char('&') + caption;
}

QLabel* emphasised(QLabel* label, qreal scale = 1.0)
{
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    return label;
}

}  // namespace

DiscoveryDialog::DiscoveryDialog(Model& model, QWidget* parent) : QDialog(parent), m_model(model)
{
    setWindowTitle(QString::fromUtf8(discovery::kDiscoveryCaption.data(),
                                     static_cast<qsizetype>(discovery::kDiscoveryCaption.size())));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);

    layout->addWidget(emphasised(addLabel(F::Title), 1.25));
    layout->addLayout(buildRangeRow());
    layout->addLayout(buildLocateRow());

    m_list = new QListWidget(this);
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_widgets[index(F::Replies)] = m_list;
    auto select = [this] { m_model.select(m_list->currentRow()); };
    connect(m_list, &QListWidget::itemClicked, this, select);
    connect(m_list, &QListWidget::itemActivated, this, select);
    layout->addWidget(m_list, 1);

    layout->addWidget(addLabel(F::RepliesHint));
    layout->addWidget(emphasised(addLabel(F::Hostname)));
    layout->addLayout(buildAddressRow());

    resize(discovery::kDiscoveryWidthTwips * logicalDpiX() / kTwipsPerInch,
           discovery::kDiscoveryHeightTwips * logicalDpiY() / kTwipsPerInch);
    nameFields();
    m_model.setListener(this);
    refreshAll();
}

void DiscoveryDialog::nameFields()
{
    // Screen readers name each field as a sighted user reads it.
    const std::array<const char*, 4> octet{"first", "second", "third", "fourth"};
    const std::array<std::array<F, 4>, 2> octets{{{F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4},
                                                  {F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4}}};
    for (std::size_t range = 0; range < 2; ++range) {
        for (std::size_t i = 0; i < 4; ++i) {
            widget(octets[range][i])
                ->setAccessibleName(QStringLiteral("%1 address, %2 number")
                                        .arg(range == 0 ? QStringLiteral("Starting") : QStringLiteral("Ending"),
                                             QString::fromLatin1(octet[i])));
        }
    }
    widget(F::Replies)->setAccessibleName(QStringLiteral("Clocks found"));
    widget(F::SignAddress)->setAccessibleName(QStringLiteral("Clock IP address"));
    widget(F::DiscoveryPort)->setAccessibleName(QStringLiteral("Discovery Port Address"));
}

DiscoveryDialog::~DiscoveryDialog()
{
    m_model.setListener(nullptr);
}

QLayout* DiscoveryDialog::buildRangeRow()
{
    auto* row = new QHBoxLayout;
    const std::array<std::array<F, 4>, 2> octets{{{F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4},
                                                  {F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4}}};
    const std::array<std::array<F, 3>, 2> dots{{{F::Dot1, F::Dot2, F::Dot3}, {F::Dot4, F::Dot5, F::Dot6}}};
    const std::array<F, 2> headings{F::StartRangeCaption, F::EndRangeCaption};
    for (std::size_t range = 0; range < 2; ++range) {
        auto* box = new QGroupBox(this);
        m_widgets[index(headings[range])] = box;
        auto* fields = new QHBoxLayout(box);
        fields->setSpacing(4);
        for (std::size_t i = 0; i < 4; ++i) {
            QLineEdit* edit = addLineEdit(octets[range][i], discovery::kOctetMaxChars);
            connect(edit, &QLineEdit::textEdited, this, [this, field = octets[range][i]](const QString& text) {
                m_model.editOctet(field, text.toStdString());
            });
            fields->addWidget(edit);
            if (i < 3) {
                fields->addWidget(addLabel(dots[range][i]));
            }
        }
        row->addWidget(box);
    }
    row->addStretch(1);
    row->addWidget(addButton(F::SetAllTo255, [](Model& m) { m.setAllTo255(); }), 0, Qt::AlignBottom);
    return row;
}

QLayout* DiscoveryDialog::buildLocateRow()
{
    auto* locateRow = new QHBoxLayout;
    locateRow->addWidget(addButton(F::Locate, [](Model& m) { (void)m.locate(); }));
    // Shown only during a walk; their room is kept so nothing below jumps.
    for (F field : {F::SearchingCaption, F::SearchedAddress}) {
        QLabel* label = addLabel(field);
        QSizePolicy keep = label->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        label->setSizePolicy(keep);
        locateRow->addWidget(label);
    }
    locateRow->addStretch(1);
    return locateRow;
}

// The address, Browse, Telnet and the port, Exit at the right; under them the
// help text and, under the port, its heading and what its values mean.
QLayout* DiscoveryDialog::buildAddressRow()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    QLineEdit* address = addLineEdit(F::SignAddress, 0);
    address->setMinimumWidth(fieldWidth(*address, 15));
    connect(address, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_model.editAddress(text.toStdString()); });
    QLineEdit* port = addLineEdit(F::DiscoveryPort, discovery::kPortMaxChars);
    connect(port, &QLineEdit::textEdited, this, [this](const QString& text) { m_model.editPort(text.toStdString()); });
    grid->addWidget(address, 0, 0);
    grid->addWidget(addButton(F::Browse, [](Model& m) { m.browse(); }), 0, 1);
    grid->addWidget(addButton(F::Telnet, [](Model& m) { m.telnet(); }), 0, 2);
    grid->addWidget(port, 0, 3);
    grid->setColumnStretch(4, 1);
    grid->addWidget(addButton(F::Exit, [](Model& m) { m.exit(); }), 0, 5);

    QLabel* help = addLabel(F::Help);
    grid->addWidget(help, 1, 0, 1, 3, Qt::AlignTop);
    auto* portHelp = new QVBoxLayout;
    portHelp->addWidget(emphasised(addLabel(F::PortCaption)));
    portHelp->addWidget(addLabel(F::PortHint));
    portHelp->addStretch(1);
    grid->addLayout(portHelp, 1, 3, 1, 3);
    grid->setColumnStretch(0, 3);
    return grid;
}

QLineEdit* DiscoveryDialog::addLineEdit(F field, std::size_t maxChars)
{
    auto* edit = new QLineEdit(this);
    if (maxChars > 0) {
        edit->setMaxLength(static_cast<int>(maxChars));
        edit->setAlignment(Qt::AlignCenter);
        edit->setFixedWidth(fieldWidth(*edit, static_cast<int>(maxChars)));
    }
    m_widgets[index(field)] = edit;
    return edit;
}

QLabel* DiscoveryDialog::addLabel(F field)
{
    auto* label = new QLabel(this);
    // Sign names come from the network: never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(field == F::RepliesHint || field == F::Help || field == F::PortHint);
    m_widgets[index(field)] = label;
    return label;
}

QPushButton* DiscoveryDialog::addButton(F field, void (*action)(Model&))
{
    auto* button = new QPushButton(this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, action] { action(m_model); });
    m_widgets[index(field)] = button;
    return button;
}

QWidget* DiscoveryDialog::widget(F field) const
{
    return m_widgets[index(field)];
}

void DiscoveryDialog::refreshAll()
{
    for (std::size_t i = 0; i < discovery::kDiscoveryFieldCount; ++i) {
        fieldChanged(static_cast<F>(i));
    }
    QRect placed(QPoint(m_model.left() * logicalDpiX() / kTwipsPerInch, m_model.top() * logicalDpiY() / kTwipsPerInch),
                 size());
    // A remembered place or size from a larger screen never puts it out of reach.
    if (const QScreen* shown = screen()) {
        const QRect room = shown->availableGeometry().adjusted(0, 0, -16, -48);
        placed.setSize(placed.size().boundedTo(room.size()));
        placed.moveLeft(std::clamp(placed.left(), room.left(), room.left() + room.width() - placed.width()));
        placed.moveTop(std::clamp(placed.top(), room.top(), room.top() + room.height() - placed.height()));
    }
    resize(placed.size());
    move(placed.topLeft());
}

void DiscoveryDialog::showList()
{
    const auto& control = m_model.control(F::Replies);
    const QSignalBlocker quiet(m_list);
    // Replies only ever append; anything else (a new walk) starts afresh.
    bool prefixKept = static_cast<std::size_t>(m_list->count()) <= control.entries.size();
    for (int i = 0; prefixKept && i < m_list->count(); ++i) {
        prefixKept = m_list->item(i)->text().toStdString() == control.entries[static_cast<std::size_t>(i)];
    }
    if (!prefixKept) {
        m_list->clear();
    }
    for (auto i = static_cast<std::size_t>(m_list->count()); i < control.entries.size(); ++i) {
        m_list->addItem(QString::fromStdString(control.entries[i]));
    }
    m_list->setCurrentRow(control.selectedIndex);
}

void DiscoveryDialog::fieldChanged(F field)
{
    QWidget* w = widget(field);
    if (w == nullptr) {
        return;
    }
    const signfeed::Control& control = m_model.control(field);
    const QString text = QString::fromStdString(control.text);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(label->wordWrap() ? unbrokenAtHyphens(text) : text);
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->setText(withMnemonic(text));
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        box->setTitle(text);
    } else if (w == m_list) {
        showList();
    }
    w->setEnabled(control.enabled);
    w->setVisible(control.visible);
}

void DiscoveryDialog::closeRequested()
{
    QDialog::done(QDialog::Accepted);
}

void DiscoveryDialog::closeEvent(QCloseEvent* event)
{
    m_model.close();
    event->accept();
}

// Escape: the same close sequence as Exit.
void DiscoveryDialog::reject()
{
    if (m_model.closed()) {
        QDialog::reject();
    } else {
        m_model.close();
    }
}

}  // namespace orlavo::gui
