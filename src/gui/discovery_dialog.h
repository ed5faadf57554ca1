#pragma once
// The "Clock IP Discovery" dialog: the discovery window model's controls as
// widgets, kept in step with the model's fields and forwarding each edit and
// click to it. Borrows the model, which outlives the dialog.
#include "discovery/discovery_window_model.h"

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orlavo::gui {

class DiscoveryDialog final : public QDialog, private discovery::DiscoveryWindowModel::Listener {
    Q_OBJECT

public:
    DiscoveryDialog(discovery::DiscoveryWindowModel& model, QWidget* parent);
    ~DiscoveryDialog() override;

    // The widget that shows a field (tests click and type into them).
    [[nodiscard]] QWidget* widget(discovery::DiscoveryField field) const;
    // Every field from the model, then the model's position (twips).
    void refreshAll();

protected:
    // Closing by the title bar or Escape runs the close sequence too.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLineEdit* addLineEdit(discovery::DiscoveryField field, std::size_t maxChars);
    QLabel* addLabel(discovery::DiscoveryField field);
    QPushButton* addButton(discovery::DiscoveryField field, void (*action)(discovery::DiscoveryWindowModel&));
    QLayout* buildRangeRow();
    QLayout* buildLocateRow();
    QLayout* buildAddressRow();
    void nameFields();
    void showList();

    // DiscoveryWindowModel::Listener
    void fieldChanged(discovery::DiscoveryField field) override;
    void closeRequested() override;

    discovery::DiscoveryWindowModel& m_model;
    std::array<QWidget*, discovery::kDiscoveryFieldCount> m_widgets{};
    QListWidget* m_list = nullptr;
};

}  // namespace orlavo::gui
