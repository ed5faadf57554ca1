#include "signfeed/main_window_model.h"

#include "shared/text_numbers.h"

namespace orlavo::signfeed {

namespace {

constexpr const char* kBaudEntries[] = {"2400", "9600", "19200", "115200"};

}  // namespace

MainWindowModel::MainWindowModel(MainWindowDeps deps, MainWindowOptions options)
    : m_deps(deps), m_options(std::move(options))
{
    // The state the window has before its start-up sequence runs.
    mut(Field::Text1).text = "255.255.255.255";
    mut(Field::Label13).text = "Downloading RSS File From Website";
    mut(Field::Label14).text = "Updating Sign";
    mut(Field::Label15).text = "Initializing Sign";
    mut(Field::Label17).text = "Last Update: ";
    mut(Field::Option0).value = 1;
    mut(Field::Combo1).text = "Com1";
    for (const char* baud : kBaudEntries) {
        mut(Field::Combo2).entries.emplace_back(baud);
    }
    mut(Field::Ck1).value = 1;
    for (Field hidden : {Field::Text6, Field::TUrl, Field::TInfo, Field::Trss2, Field::TSize, Field::TTime,
                         Field::Ck1}) {
        mut(hidden).visible = false;
    }
}

void MainWindowModel::notify(Field field)
{
    if (m_listener != nullptr) {
        m_listener->fieldChanged(field);
    }
}

void MainWindowModel::setText(Field field, std::string text)
{
    if (control(field).text != text) {
        mut(field).text = std::move(text);
        notify(field);
    }
}

void MainWindowModel::setVisible(Field field, bool visible)
{
    if (control(field).visible != visible) {
        mut(field).visible = visible;
        notify(field);
    }
}

void MainWindowModel::setEnabled(Field field, bool enabled)
{
    if (control(field).enabled != enabled) {
        mut(field).enabled = enabled;
        notify(field);
    }
}

std::optional<double> MainWindowModel::updatePeriodMinutes() const
{
    return decimalNumberOf(updatePeriodText());
}

int MainWindowModel::takeFeedSlot()
{
    const int slot = m_nextFeedSlot;
    m_nextFeedSlot = slot + 1 > kFeedSlots - 1 ? 0 : slot + 1;
    return slot;
}

void MainWindowModel::showLastUpdate(bool shown)
{
    setVisible(Field::Label17, shown);
    setVisible(Field::Label18, shown);
}

void MainWindowModel::setLastUpdate(const std::string& hhmm)
{
    setText(Field::Label17, "Last Update: ");
    setText(Field::Label18, hhmm);
}

void MainWindowModel::clearDownloadDetails()
{
    for (Field cleared : {Field::TInfo, Field::Trss2, Field::TSize, Field::TTime}) {
        setText(cleared, "");
    }
}

void MainWindowModel::store(const SettingKey& key, std::string_view value)
{
    store(key.section, key.key, value);
}

void MainWindowModel::store(std::string_view section, std::string_view key, std::string_view value)
{
    auto error = writeIni(m_deps.settings, section, key, value, m_storeMode);
    m_writeFailures += error ? 1 : 0;
    if (error && !m_writeFailureReported) {
        m_writeFailureReported = true;
        m_deps.messages.showMessage(MessageIcon::Exclamation, "Settings not saved",
                                    "The settings could not be saved (" + error->description +
                                        "). They stay in effect until the program ends.");
    }
}

void MainWindowModel::setCheckValue(Field box, int value)
{
    if (control(box).value == value) {
        return;
    }
    mut(box).value = value;
    notify(box);
    checkClicked(box);
}

void MainWindowModel::setFieldText(Field field, std::string text)
{
    if (control(field).text == text) {
        return;
    }
    mut(field).text = std::move(text);
    notify(field);
    textChanged(field);
}

void MainWindowModel::select(Field list, int index)
{
    Control& c = mut(list);
    c.selectedIndex = index;
    if (index >= 0 && index < static_cast<int>(c.entries.size())) {
        c.text = c.entries[static_cast<std::size_t>(index)];
    }
    notify(list);
    if (list == Field::AccessPointIP) {
        m_selectedFeedSlot = index;
    } else if (list == Field::TypeFont) {
        store(key::kTypeFontIndex, std::to_string(index));
    }
}

void MainWindowModel::setOption(int index, bool on)
{
    Field mine = index == 0 ? Field::Option0 : Field::Option1;
    Field other = index == 0 ? Field::Option1 : Field::Option0;
    mut(mine).value = on ? 1 : 0;
    notify(mine);
    if (on && control(other).value != 0) {
        mut(other).value = 0;
        notify(other);
    }
}

void MainWindowModel::fillColorScheme()
{
    Control& c = mut(Field::ColorScheme);
    c.entries.clear();
    c.text = "Multicolor";
    if (smartDisplay()) {
        c.entries = {"Multicolor", "Red", "Blue", "Green", "Yellow", "Magenta", "Cyan", "White"};
    } else {
        c.entries = {"Multicolor", "Red", "Green", "Yellow"};
    }
    c.selectedIndex = -1;
    notify(Field::ColorScheme);
}

void MainWindowModel::fillFeedList(bool withDefaults)
{
    Control& list = mut(Field::AccessPointIP);
    list.entries.clear();
    m_tooLongSlots.clear();
    for (int slot = 0; slot < kFeedSlots; ++slot) {
        std::optional<std::string> stored =
            readFeedSlot(m_deps.settings, slot, withDefaults ? feedSlotKey(slot).fallback : std::string_view());
        if (!stored) {
            m_tooLongSlots.push_back(slot);
        }
        list.entries.push_back(stored.value_or(""));
    }
    list.selectedIndex = -1;
    notify(Field::AccessPointIP);
}

void MainWindowModel::checkClicked(Field box)
{
    const int value = control(box).value;
    switch (box) {
    case Field::Check1:
        setEnabled(Field::Text1, value != 0);
        setVisible(Field::Command3, value != 0);
        break;
    case Field::Check2:
        setEnabled(Field::Combo1, value != 0);
        setEnabled(Field::Combo2, value != 0);
        break;
    case Field::Check3:
        store(key::kEmbedded, std::to_string(value));
        setVisible(Field::Command2, value != 1);
        break;
    case Field::Check4:
        store(key::kRgbDisplay, std::to_string(value));
        fillColorScheme();
        setVisible(Field::Label19, value == 1);
        setVisible(Field::TypeFont, value == 1);
        break;
    default:
        break;
    }
}

void MainWindowModel::textChanged(Field field)
{
    switch (field) {
    case Field::Text1:
        // The link keeps its address until the start-up sequence runs again.
        m_signAddress = control(Field::Text1).text;
        break;
    case Field::Text3:
        clamp(Field::Text3, 25);
        break;
    case Field::Text4:
        clamp(Field::Text4, 5);
        break;
    case Field::TUrl:
        store(key::kTUrl, control(Field::TUrl).text);
        break;
    default:
        break;
    }
}

void MainWindowModel::clamp(Field field, double limit)
{
    if (leadingNumberOf(control(field).text) > limit) {
        setFieldText(field, std::to_string(static_cast<int>(limit)));
    }
}

void MainWindowModel::portTest()
{
    platform::SerialPort& port = m_deps.serial;
    if (serialLinkOff() || port.isOpen()) {
        return;
    }
    auto error = port.setLineSettings(m_baudRate + ",n,8,1");
    if (!error) {
        error = port.open();
    }
    if (error) {
        m_deps.messages.showMessage(MessageIcon::Exclamation, "ERROR", "Please check your comm settings");
        return;
    }
    port.close();
}

}  // namespace orlavo::signfeed
