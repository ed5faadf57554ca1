#pragma once
// The main window without a user interface: its controls, its variables, the
// start-up sequence that fills them from data.ini, the operator's edits and the
// close. Owns nothing it is given; the sign link and the update cycle work on
// it through the program-side setters.
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/profile_file.h"
#include "platform/serial_port.h"
#include "platform/udp_endpoint.h"
#include "shared/message_sink.h"
#include "shared/settings.h"
#include "shared/sign_address_target.h"
#include "signfeed/sign_protocol.h"
#include "signfeed/window_controls.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orlavo::signfeed {

struct MainWindowDeps {
    platform::Clock& clock;
    platform::EventLoop& loop;
    platform::ProfileFile& settings;
    platform::UdpEndpoint& udp;
    platform::SerialPort& serial;
    MessageSink& messages;
};

struct MainWindowOptions {
    // The UDP link's own port; tests and side-by-side runs use 0 (any).
    int udpLocalPort = kSignUdpPort;
    std::string version = "0.0.0";
};

class MainWindowModel final : public SignAddressTarget {
public:
    struct Listener {
        virtual void fieldChanged(Field field) = 0;
        // The window has run its close sequence and should go away.
        virtual void closeRequested() {}

    protected:
        ~Listener() = default;
    };

    MainWindowModel(MainWindowDeps deps, MainWindowOptions options);
    void setListener(Listener* listener) { m_listener = listener; }

    // The start-up sequence; runs at creation and again after a port choice.
    void load();
    // The close sequence: writes every setting, closes the serial port. A key
    // whose stored value another program changed since the last start-up is
    // left as that program wrote it.
    void close();
    // Another program changed the settings file since the last start-up: the
    // start-up runs again (once no frame is going out), keeping the timer's
    // count and the rotation. A file that cannot be read or was removed is not
    // taken.
    struct SettingsReload {
        bool reloaded = false;
        std::optional<platform::SysError> failure;  // changed but unreadable
    };
    [[nodiscard]] SettingsReload reloadChangedSettings();
    [[nodiscard]] bool closed() const { return m_closed; }
    // True when a write of the close sequence failed: the file does not hold
    // the window's last state.
    [[nodiscard]] bool closeWriteFailed() const { return m_closeWriteFailed; }

    [[nodiscard]] const Control& control(Field field) const { return m_controls[index(field)]; }
    [[nodiscard]] bool checked(Field box) const { return control(box).value == 1; }

    // What the controls mean. A greyed box is neither on nor off: a link is
    // used only when its box is on, and left alone only when it is off.
    [[nodiscard]] bool udpLinkOn() const override { return checked(Field::Check1); }
    [[nodiscard]] bool udpLinkOff() const { return control(Field::Check1).value == 0; }
    [[nodiscard]] bool serialLinkOn() const { return checked(Field::Check2); }
    [[nodiscard]] bool serialLinkOff() const { return control(Field::Check2).value == 0; }
    [[nodiscard]] bool embeddedInClock() const { return checked(Field::Check3); }
    [[nodiscard]] bool smartDisplay() const { return checked(Field::Check4); }
    [[nodiscard]] bool stripMarkup() const { return checked(Field::Ck1); }
    [[nodiscard]] bool selectedFeedOnly() const { return checked(Field::Option0); }
    [[nodiscard]] const std::string& editedFeedUrl() const { return control(Field::AccessPointIP).text; }
    [[nodiscard]] const std::string& updatePeriodText() const { return control(Field::Text5).text; }
    // Empty when the period is not a number: automatic updates are off.
    [[nodiscard]] std::optional<double> updatePeriodMinutes() const;
    [[nodiscard]] const std::string& messageLimitText() const { return control(Field::Text3).text; }
    [[nodiscard]] const std::string& speedText() const { return control(Field::Text4).text; }
    [[nodiscard]] int colorSchemeIndex() const { return control(Field::ColorScheme).selectedIndex; }
    [[nodiscard]] int intensityIndex() const { return control(Field::TypeFont).selectedIndex; }
    [[nodiscard]] const std::string& shownMessages() const { return control(Field::Trss).text; }
    [[nodiscard]] const std::string& statusText() const { return control(Field::Status).text; }
    // The texts that tell how an update goes, worth a line in a log.
    [[nodiscard]] static bool isProgressText(Field field) { return field == Field::TInfo || field == Field::Status; }

    // Window variables.
    [[nodiscard]] const std::string& signAddress() const { return m_signAddress; }
    [[nodiscard]] const std::string& serialPortNumber() const { return m_serialPortNumber; }
    [[nodiscard]] const std::string& baudRate() const { return m_baudRate; }
    [[nodiscard]] std::optional<int> selectedFeedSlot() const { return m_selectedFeedSlot; }
    [[nodiscard]] int remotePort() const { return m_remotePort; }
    [[nodiscard]] const std::string& version() const { return m_options.version; }
    // The automatic update's minute count and feed rotation.
    [[nodiscard]] long minutesSinceUpdate() const { return m_minutesSinceUpdate; }
    long countMinute() { return ++m_minutesSinceUpdate; }
    void restartUpdatePeriod() { m_minutesSinceUpdate = 0; }
    [[nodiscard]] int nextFeedSlot() const { return m_nextFeedSlot; }
    // Returns the slot to try now and moves the rotation on, wrapping after the last.
    int takeFeedSlot();

    // Operator edits. Each is stored in data.ini at once.
    void editCheck(Field box, int value);
    void editText(Field field, std::string text);
    void chooseOption(int index);
    void choosePort(int index);
    void chooseBaud(int index);
    void chooseTypeFont(int index);
    void chooseColorScheme(int index);
    void chooseFeedSlot(int index);
    void editFeedText(std::string text);
    // Returns the key unchanged: the list handles only Enter (13) itself.
    int feedKeyPress(int keyAscii);
    // A sign chosen in the discovery window: the address field takes it (and
    // stores it), and the UDP link sends there from now on, not only after
    // the next start-up; deferred while a frame is going out.
    void useSignAddress(std::string address) override;
    // The operator finished editing the address field (Enter, Tab, focus
    // gone): the UDP link sends to the address shown from now on, so the
    // window never shows one sign while frames go to another.
    void aimUdpLink();

    // Program-side setters for the update cycle and the composer; they notify
    // the listener and write nothing.
    void setText(Field field, std::string text);
    void setVisible(Field field, bool visible);
    void setEnabled(Field field, bool enabled);
    // A feed slot rewritten in data.ini: the list shows the stored address, and
    // so does the text when it still showed previous for that slot.
    void showStoredFeedSlot(int slot, const std::string& previous);
    void setExitEnabled(bool enabled) { setEnabled(Field::Command1, enabled); }
    void showDownloading(bool shown) { setVisible(Field::Label13, shown); }
    void showUpdatingSign(bool shown) { setVisible(Field::Label14, shown); }
    void showInitializing(bool shown) { setVisible(Field::Label15, shown); }
    // Shows or hides "Last Update: " with its time.
    void showLastUpdate(bool shown);
    // "Last Update: " is shown only once an update has reached the sign.
    void showLastUpdateIfAny() { showLastUpdate(!control(Field::Label18).text.empty()); }
    void setLastUpdate(const std::string& hhmm);
    void showMessages(std::string text) { setText(Field::Trss, std::move(text)); }
    void setStatus(std::string text) { setText(Field::Status, std::move(text)); }
    void setDownloadInfo(std::string text) { setText(Field::TInfo, std::move(text)); }
    void setDownloadSize(std::string text) { setText(Field::TSize, std::move(text)); }
    void setDocumentText(std::string text) { setText(Field::Trss2, std::move(text)); }
    // Empties what the last download left: its status, document, size and time.
    void clearDownloadDetails();

    [[nodiscard]] platform::ProfileFile& settings() { return m_deps.settings; }
    [[nodiscard]] MessageSink& messages() { return m_deps.messages; }
    [[nodiscard]] platform::SerialPort& serialPort() { return m_deps.serial; }
    [[nodiscard]] platform::UdpEndpoint& udp() { return m_deps.udp; }
    // Writes one key and reports the first failure of the session to the user.
    void store(const SettingKey& key, std::string_view value);
    void store(std::string_view section, std::string_view key, std::string_view value);

    // Runs fn now, or once the sign link is idle when a frame is going out
    // (set by the owner of the link); closing and port changes wait for it.
    void setDeferral(std::function<void(std::function<void()>)> defer) { m_defer = std::move(defer); }

private:
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }
    Control& mut(Field field) { return m_controls[index(field)]; }
    void notify(Field field);

    // Setting a control the way the platform would: runs its click or change
    // operation when the value changes.
    void setCheckValue(Field box, int value);
    void setFieldText(Field field, std::string text);
    void select(Field list, int index);
    void setOption(int index, bool on);
    void fillColorScheme();
    // Slots 0 and 1 fall back to the default feeds only at start-up. A slot
    // too long to read shows empty and is noted in m_tooLongSlots.
    void fillFeedList(bool withDefaults);
    [[nodiscard]] bool tooLongSlot(int slot) const;

    // Click and change operations.
    void checkClicked(Field box);
    void textChanged(Field field);
    void clamp(Field field, double limit);
    void portTest();
    void runWhenIdle(std::function<void()> action);

    // Start-up steps (main_window_load.cpp).
    bool loadKey(const SettingKey& key, const std::function<bool(const std::string&)>& apply);
    void loadChecks();
    void loadTexts();
    void loadFeedList();
    void loadOptions();
    void loadLists();
    void loadSerialSettings();
    void configureUdp();
    void configureSerial();
    void writeBack(bool withColorScheme);
    void reportRecovery();
    void reportTooLongSlots();

    MainWindowDeps m_deps;
    MainWindowOptions m_options;
    Listener* m_listener = nullptr;
    ControlSet m_controls;
    std::string m_signAddress = "255.255.255.255";
    std::string m_serialPortNumber = "1";
    std::string m_baudRate = "9600";
    std::optional<int> m_selectedFeedSlot;
    int m_remotePort = kSignUdpPort;
    std::vector<std::string> m_resetKeys;
    std::vector<int> m_tooLongSlots;  // left on disk as they are, never used
    bool m_writeFailureReported = false;
    int m_writeFailures = 0;
    bool m_closeWriteFailed = false;
    bool m_udpFailureReported = false;
    bool m_udpPortNoticeShown = false;
    bool m_closed = false;
    long m_minutesSinceUpdate = 0;  // timer ticks since the last automatic update
    int m_nextFeedSlot = 0;         // next slot to try in rotation
    bool m_closing = false;
    platform::WriteMode m_storeMode = platform::WriteMode::Always;
    std::function<void(std::function<void()>)> m_defer;
};

}  // namespace orlavo::signfeed
