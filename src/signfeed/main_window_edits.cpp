// The operator's edits and the close of the main window. Every edit is stored
// when it is made, so a crash or a kill loses nothing.
#include "signfeed/main_window_model.h"

#include "platform/code_page.h"

#include <cerrno>

namespace orlavo::signfeed {

void MainWindowModel::editCheck(Field box, int value)
{
    setCheckValue(box, value);
    if (box == Field::Check1) {
        store(key::kEthernet, std::to_string(control(box).value));
    } else if (box == Field::Check2) {
        store(key::kSerial, std::to_string(control(box).value));
    }
}

void MainWindowModel::editText(Field field, std::string text)
{
    setFieldText(field, std::move(text));
    const std::string& now = control(field).text;
    switch (field) {
    case Field::Text1:
        store(key::kRemoteIp, now);
        break;
    case Field::Text3:
        store(key::kMessages, now);
        break;
    case Field::Text4:
        store(key::kSpeed, now);
        break;
    case Field::Text5:
        store(key::kUpdatePeriod, now);
        break;
    case Field::Text6:
        store(key::kInitialDelay, now);
        break;
    default:
        break;
    }
}

void MainWindowModel::useSignAddress(std::string address)
{
    editText(Field::Text1, std::move(address));
    aimUdpLink();
}

void MainWindowModel::aimUdpLink()
{
    runWhenIdle([this] {
        if (auto error = m_deps.udp.setRemote(m_signAddress, m_remotePort)) {
            m_deps.messages.showMessage(MessageIcon::Critical, std::to_string(error->number), error->description);
        }
    });
}

void MainWindowModel::chooseOption(int index)
{
    setOption(index, true);
    store(key::kRssListOp0, selectedFeedOnly() ? "True" : "False");
    store(key::kRssListOp1, checked(Field::Option1) ? "True" : "False");
}

void MainWindowModel::choosePort(int index)
{
    if (index < 0 || index >= static_cast<int>(control(Field::Combo1).entries.size())) {
        return;
    }
    // Reconfiguring the port waits until no frame is going out over it.
    runWhenIdle([this, index] {
        m_serialPortNumber = std::to_string(index + 1);
        select(Field::Combo1, index);
        store(key::kCommPort, m_serialPortNumber);
        // The start-up sequence re-reads the file: save what the operator
        // changed first so it is not reverted.
        writeBack(true);
        load();
        portTest();
    });
}

void MainWindowModel::chooseBaud(int index)
{
    if (index < 0 || index >= static_cast<int>(control(Field::Combo2).entries.size())) {
        return;
    }
    runWhenIdle([this, index] {
        select(Field::Combo2, index);
        m_baudRate = control(Field::Combo2).entries[static_cast<std::size_t>(index)];
        store(key::kBaud, m_baudRate);
        (void)m_deps.serial.setLineSettings(m_baudRate + ",n,8,1");
        portTest();
    });
}

void MainWindowModel::chooseTypeFont(int index)
{
    if (index >= -1 && index < static_cast<int>(control(Field::TypeFont).entries.size())) {
        select(Field::TypeFont, index);
    }
}

void MainWindowModel::chooseColorScheme(int index)
{
    if (index >= -1 && index < static_cast<int>(control(Field::ColorScheme).entries.size())) {
        select(Field::ColorScheme, index);
        store(key::kColorSchemeIndex, std::to_string(index));
    }
}

void MainWindowModel::chooseFeedSlot(int index)
{
    if (index >= -1 && index < kFeedSlots) {
        select(Field::AccessPointIP, index);
    }
}

void MainWindowModel::editFeedText(std::string text)
{
    setText(Field::AccessPointIP, std::move(text));
}

int MainWindowModel::feedKeyPress(int keyAscii)
{
    if (keyAscii != 13 || !m_selectedFeedSlot || *m_selectedFeedSlot < 0) {
        return keyAscii;
    }
    const int slot = *m_selectedFeedSlot;
    const std::string& typed = editedFeedUrl();
    if (platform::utf8Length(typed) > kLongestValue) {
        // Stored, it would read back cut: another address.
        m_deps.messages.showMessage(MessageIcon::Exclamation, "Feed address too long",
                                    "A feed address can have at most " + std::to_string(kLongestValue) +
                                        " characters; this one has " + std::to_string(platform::utf8Length(typed)) +
                                        ". It was not stored.");
        return keyAscii;
    }
    store(section::kAccessPoint, feedSlotKeyName(slot), typed);
    fillFeedList(false);
    if (slot < kFeedSlots - 1) {
        select(Field::AccessPointIP, slot + 1);
    } else {
        setText(Field::AccessPointIP, "");  // nothing selected; the slot stays the last one edited
    }
    return keyAscii;
}

void MainWindowModel::showStoredFeedSlot(int slot, const std::string& previous)
{
    Control& list = mut(Field::AccessPointIP);
    if (slot < 0 || slot >= static_cast<int>(list.entries.size())) {
        return;
    }
    const std::string stored = readFeedSlot(m_deps.settings, slot, "").value_or("");
    list.entries[static_cast<std::size_t>(slot)] = stored;
    if (m_selectedFeedSlot == slot && list.text == previous) {
        list.text = stored;
    }
    notify(Field::AccessPointIP);
}

void MainWindowModel::runWhenIdle(std::function<void()> action)
{
    if (m_defer) {
        m_defer(std::move(action));
    } else {
        action();
    }
}

MainWindowModel::SettingsReload MainWindowModel::reloadChangedSettings()
{
    if (m_closing || m_closed || !m_deps.settings.changedSinceSeen()) {
        return {};
    }
    // Run on defaults, an unreadable file would send to the default feeds.
    if (std::optional<platform::SysError> failure = m_deps.settings.readFailure()) {
        return {false, failure};
    }
    // An editor may move the file away for a moment while it saves; a start-up
    // would take the defaults and broadcast to the default feeds.
    if (!m_deps.settings.exists()) {
        return {false, platform::SysError{ENOENT, "the file was removed"}};
    }
    // The count and the rotation belong to the running cycle, not to the file.
    runWhenIdle([this, minutes = m_minutesSinceUpdate, next = m_nextFeedSlot] {
        load();
        m_minutesSinceUpdate = minutes;
        m_nextFeedSlot = next;
    });
    return {true, std::nullopt};
}

void MainWindowModel::close()
{
    if (m_closed || m_closing) {
        return;
    }
    m_closing = true;
    runWhenIdle([this] {
        const int failuresBefore = m_writeFailures;
        // The window's values were read before any later edit on disk; that edit is newer.
        m_storeMode = platform::WriteMode::KeepChangeOnDisk;
        writeBack(true);
        m_storeMode = platform::WriteMode::Always;
        m_closeWriteFailed = m_writeFailures != failuresBefore;
        if (!serialLinkOff() && m_deps.serial.isOpen()) {
            m_deps.serial.close();
        }
        setDownloadInfo("");
        m_closed = true;
        if (m_listener != nullptr) {
            m_listener->closeRequested();
        }
    });
}

}  // namespace orlavo::signfeed
