// The start-up sequence of the main window: data.ini into the controls, both
// sign links configured, every setting written back.
#include "signfeed/main_window_model.h"

#include "platform/port_number.h"
#include "shared/text_numbers.h"

#include <algorithm>
#include <string>

namespace orlavo::signfeed {

namespace {

struct CheckKey {
    Field box;
    const SettingKey& key;
};

}  // namespace

void MainWindowModel::load()
{
    m_deps.settings.markSeen();  // what the close and a reload compare the file with
    m_signAddress = readIni(m_deps.settings, key::kRemoteIp.section, key::kRemoteIp.key, key::kRemoteIp.fallback);
    if (m_signAddress.empty()) {
        m_signAddress = std::string(key::kRemoteIp.fallback);
        store(key::kRemoteIp, m_signAddress);
    }
    setFieldText(Field::Text1, m_signAddress);
    m_resetKeys.clear();
    configureUdp();
    showDownloading(false);
    showUpdatingSign(false);
    showInitializing(false);
    showLastUpdateIfAny();
    setText(Field::LblVersion, "Version " + m_options.version);
    loadChecks();
    loadTexts();
    setEnabled(Field::Text1, !udpLinkOff());
    setVisible(Field::Command3, !udpLinkOff());
    fillFeedList(true);
    loadOptions();
    loadLists();
    loadSerialSettings();
    setEnabled(Field::Text1, !udpLinkOff());
    setEnabled(Field::Combo1, !serialLinkOff());
    setEnabled(Field::Combo2, !serialLinkOff());
    writeBack(false);
    for (int slot = 0; slot < kFeedSlots; ++slot) {
        select(Field::AccessPointIP, slot);
        if (!tooLongSlot(slot)) {
            store(section::kAccessPoint, feedSlotKeyName(slot), control(Field::AccessPointIP).text);
        }
    }
    select(Field::AccessPointIP, 0);
    configureSerial();
    restartUpdatePeriod();
    reportRecovery();
    reportTooLongSlots();
}

// Reads one key and applies it; a value that does not convert is reset to its
// default in the file and in the window, and named to the user afterwards.
bool MainWindowModel::loadKey(const SettingKey& key, const std::function<bool(const std::string&)>& apply)
{
    if (apply(readIni(m_deps.settings, key.section, key.key, key.fallback))) {
        return true;
    }
    m_resetKeys.emplace_back(key.key);
    store(key, key.fallback);
    apply(std::string(key.fallback));
    return false;
}

void MainWindowModel::loadChecks()
{
    const CheckKey checks[] = {{Field::Check1, key::kEthernet},
                               {Field::Check2, key::kSerial},
                               {Field::Check3, key::kEmbedded},
                               {Field::Check4, key::kRgbDisplay}};
    for (const auto& [box, key] : checks) {
        loadKey(key, [this, box = box](const std::string& raw) {
            auto n = wholeNumberOf(raw);
            if (!n || *n < 0 || *n > 2) {
                return false;
            }
            setCheckValue(box, static_cast<int>(*n));
            return true;
        });
    }
}

void MainWindowModel::loadTexts()
{
    auto read = [this](const SettingKey& key) {
        return readIni(m_deps.settings, key.section, key.key, key.fallback);
    };
    setFieldText(Field::TUrl, read(key::kTUrl));
    setFieldText(Field::Text3, read(key::kMessages));
    setFieldText(Field::Text5, read(key::kUpdatePeriod));
    // The speed reaches the sign as a number, so a text that is none is reset.
    loadKey(key::kSpeed, [this](const std::string& raw) {
        setFieldText(Field::Text4, raw);
        return decimalNumberOf(speedText()).has_value();
    });
    setFieldText(Field::Text6, read(key::kInitialDelay));
}

void MainWindowModel::loadOptions()
{
    for (int index = 0; index < 2; ++index) {
        loadKey(index == 0 ? key::kRssListOp0 : key::kRssListOp1, [this, index](const std::string& raw) {
            auto on = booleanOf(raw);
            if (!on) {
                return false;
            }
            setOption(index, *on);
            return true;
        });
    }
}

void MainWindowModel::loadLists()
{
    Control& typeFont = mut(Field::TypeFont);
    typeFont.entries.clear();
    for (int n = 1; n <= 15; ++n) {
        typeFont.entries.push_back(std::to_string(n));
    }
    auto selectIndex = [this](Field list) {
        return [this, list](const std::string& raw) {
            auto n = wholeNumberOf(raw);
            if (!n || *n < -1 || *n >= static_cast<long long>(control(list).entries.size())) {
                return false;
            }
            select(list, static_cast<int>(*n));
            return true;
        };
    };
    loadKey(key::kTypeFontIndex, selectIndex(Field::TypeFont));
    setVisible(Field::Label19, smartDisplay());
    setVisible(Field::TypeFont, smartDisplay());
    setVisible(Field::Command2, !embeddedInClock());
    fillColorScheme();
    loadKey(key::kColorSchemeIndex, selectIndex(Field::ColorScheme));
}

void MainWindowModel::loadSerialSettings()
{
    Control& ports = mut(Field::Combo1);
    ports.entries.clear();
    for (int n = 1; n <= 255; ++n) {
        ports.entries.push_back("Com" + std::to_string(n));
    }
    loadKey(key::kCommPort, [this](const std::string& raw) {
        auto n = wholeNumberOf(raw);
        if (!n || *n < 1 || *n > 255) {
            return false;
        }
        m_serialPortNumber = raw;
        setText(Field::Combo1, "Com" + std::to_string(*n));
        return true;
    });
    loadKey(key::kBaud, [this](const std::string& raw) {
        auto n = decimalNumberOf(raw);
        if (!n) {
            return false;
        }
        m_baudRate = raw;
        for (const std::string& entry : control(Field::Combo2).entries) {
            if (*n == std::stod(entry)) {
                setText(Field::Combo2, entry);
                break;
            }
        }
        return true;
    });
}

void MainWindowModel::writeBack(bool withColorScheme)
{
    auto flag = [this](Field option) { return checked(option) ? "True" : "False"; };
    store(key::kEthernet, std::to_string(control(Field::Check1).value));
    store(key::kSerial, std::to_string(control(Field::Check2).value));
    store(key::kRemoteIp, m_signAddress);
    store(key::kInitialDelay, control(Field::Text6).text);
    store(key::kMessages, messageLimitText());
    store(key::kRssListOp0, flag(Field::Option0));
    store(key::kRssListOp1, flag(Field::Option1));
    store(key::kUpdatePeriod, updatePeriodText());
    store(key::kSpeed, speedText());
    store(key::kBaud, m_baudRate);
    store(key::kCommPort, m_serialPortNumber);
    store(key::kTypeFontIndex, std::to_string(intensityIndex()));
    store(key::kEmbedded, std::to_string(control(Field::Check3).value));
    store(key::kRgbDisplay, std::to_string(control(Field::Check4).value));
    if (withColorScheme) {
        store(key::kColorSchemeIndex, std::to_string(colorSchemeIndex()));
    }
}

void MainWindowModel::configureUdp()
{
    loadKey(key::kRemotePort, [this](const std::string& raw) {
        auto n = wholeNumberOf(raw);
        if (!n || !platform::isServicePort(*n)) {
            return false;
        }
        m_remotePort = static_cast<int>(*n);
        return true;
    });
    platform::UdpEndpoint& udp = m_deps.udp;
    std::optional<platform::SysError> error;
    if (!udp.isOpen()) {
        error = udp.bindSendOnly("", m_options.udpLocalPort);
        if (!error && m_options.udpLocalPort != 0 && udp.localPort() != m_options.udpLocalPort &&
            !m_udpPortNoticeShown) {
            m_udpPortNoticeShown = true;
            const std::string note = "Another program on this computer holds UDP port " +
                                     std::to_string(m_options.udpLocalPort) + "; frames to the sign go out from port " +
                                     std::to_string(udp.localPort()) + " instead.";
            setText(Field::LinkNote, "Frames go out from UDP port " + std::to_string(udp.localPort()) +
                                         ": another program here holds port " +
                                         std::to_string(m_options.udpLocalPort) + ".");
            m_deps.messages.showNotice("UDP port in use", note);
        }
    }
    if (!error) {
        error = udp.setRemote(m_signAddress, m_remotePort);
    }
    if (error && !m_udpFailureReported) {
        m_udpFailureReported = true;
        m_deps.messages.showMessage(MessageIcon::Critical, std::to_string(error->number), error->description);
    }
}

void MainWindowModel::configureSerial()
{
    platform::SerialPort& port = m_deps.serial;
    if (port.isOpen()) {
        port.close();
    }
    std::string device = readIni(m_deps.settings, key::kCommDevice.section, key::kCommDevice.key, "");
    auto number = wholeNumberOf(m_serialPortNumber);
    port.setDevice(!device.empty() ? device : platform::serialDeviceForPort(static_cast<int>(number.value_or(1))));
    // Opened at the speed the baud list shows.
    const std::string& shown = control(Field::Combo2).text;
    (void)port.setLineSettings((shown.empty() ? std::string("9600") : shown) + ",n,8,1");
}

bool MainWindowModel::tooLongSlot(int slot) const
{
    return std::find(m_tooLongSlots.begin(), m_tooLongSlots.end(), slot) != m_tooLongSlots.end();
}

void MainWindowModel::reportTooLongSlots()
{
    if (m_tooLongSlots.empty()) {
        return;
    }
    std::string names;
    for (int slot : m_tooLongSlots) {
        names += (names.empty() ? "" : ", ") + feedSlotKeyName(slot);
    }
    m_deps.messages.showMessage(MessageIcon::Exclamation, "Feed address too long",
                                "These feed slots hold more than the " + std::to_string(kLongestValue) +
                                    " characters a setting can be read with, so they are not used and are left as "
                                    "they are in the settings file: " +
                                    names + ".");
}

void MainWindowModel::reportRecovery()
{
    if (m_resetKeys.empty()) {
        return;
    }
    std::string names;
    for (const std::string& name : m_resetKeys) {
        names += (names.empty() ? "" : ", ") + name;
    }
    m_deps.messages.showMessage(MessageIcon::Exclamation, "Settings reset",
                                "These settings could not be read and were reset to their defaults: " + names +
                                    ".");
}

}  // namespace orlavo::signfeed
