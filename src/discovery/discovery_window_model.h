#pragma once
// The discovery window without a user interface: its controls, the load that
// fills them from data.ini, the walk, the selection that makes a found sign
// the target, Browse, Telnet and the close. Borrows everything it is given;
// owns the scanner on the discovery endpoint.
//
// A walk runs inside locate(); the window's other operations (a click, an
// edit, close()) run from the loop at the end of each pause. Destroy the
// model only once locate() has returned (walking() is false).
#include "discovery/browser_factory.h"
#include "discovery/discovery_controls.h"
#include "discovery/discovery_scanner.h"
#include "discovery/discovery_settings.h"
#include "discovery/telnet_launcher.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/profile_file.h"
#include "platform/udp_endpoint.h"
#include "shared/message_sink.h"
#include "shared/settings.h"
#include "shared/sign_address_target.h"

#include <optional>
#include <string>

namespace orlavo::discovery {

struct DiscoveryWindowDeps {
    platform::Clock& clock;
    platform::EventLoop& loop;
    platform::ProfileFile& settings;         // data.ini
    const platform::ProfileFile& userStore;  // the window position, read only
    platform::UdpEndpoint& udp;              // the discovery endpoint
    signfeed::MessageSink& messages;
    signfeed::SignAddressTarget& mainWindow;
    BrowserFactory* browsers = nullptr;  // none: Browse says so
    TelnetLauncher* telnet = nullptr;    // none: Telnet says so
};

class DiscoveryWindowModel final : private DiscoveryScanner::Listener {
public:
    struct Listener {
        virtual void fieldChanged(DiscoveryField field) = 0;
        // Between two addresses of a walk: what a progress display shows.
        virtual void walkProgress(const WalkProgress&) {}
        // The close sequence has run; the window should go away.
        virtual void closeRequested() {}

    protected:
        ~Listener() = default;
    };

    explicit DiscoveryWindowModel(DiscoveryWindowDeps deps);
    ~DiscoveryWindowModel();
    DiscoveryWindowModel(const DiscoveryWindowModel&) = delete;
    DiscoveryWindowModel& operator=(const DiscoveryWindowModel&) = delete;
    void setListener(Listener* listener) { m_listener = listener; }

    void load();
    // Locate: the walk over the octet fields' range. Refused with a message
    // for a bad port or range or a port that cannot be bound; refused
    // silently while a walk runs or after close.
    WalkOutcome locate();
    // A click on list entry index (-1: nothing selected).
    void select(int index);
    void editAddress(std::string text);
    void editPort(std::string text);
    // field is one of the start or end octets.
    void editOctet(DiscoveryField field, std::string text);
    void setAllTo255();
    void browse();
    void telnet();
    void exit() { close(); }
    // The close sequence; stops a running walk at its next pause.
    void close();

    [[nodiscard]] const signfeed::Control& control(DiscoveryField field) const { return m_controls[index(field)]; }
    [[nodiscard]] int left() const { return m_left; }
    [[nodiscard]] int top() const { return m_top; }
    [[nodiscard]] bool walking() const { return m_scanner.walking(); }
    [[nodiscard]] bool closed() const { return m_closed; }
    [[nodiscard]] const std::optional<WalkProgress>& lastProgress() const { return m_progress; }

private:
    static std::size_t index(DiscoveryField field) { return static_cast<std::size_t>(field); }
    signfeed::Control& mut(DiscoveryField field) { return m_controls[index(field)]; }
    void notify(DiscoveryField field);
    void setText(DiscoveryField field, std::string text);
    void setVisible(DiscoveryField field, bool visible);
    void setEnabled(DiscoveryField field, bool enabled);
    // Puts text into a field the way the platform does: its change operation
    // runs when the text differs.
    void setFieldText(DiscoveryField field, std::string text);
    void textChanged(DiscoveryField field);
    void store(const signfeed::SettingKey& key, std::string_view value);

    // Load steps.
    void readDiscoveryKeys();
    void writeDiscoveryDefaults();
    void readWindowPosition();
    [[nodiscard]] RangeTexts rangeTexts() const;

    // DiscoveryScanner::Listener
    void walkStarted() override;
    void walkProgress(const WalkProgress& progress) override;
    void walkEnded(const WalkSummary& summary) override;
    void lineFound(const std::string& line) override;

    DiscoveryWindowDeps m_deps;
    DiscoveryScanner m_scanner;
    Listener* m_listener = nullptr;
    DiscoveryControls m_controls;
    std::optional<WalkProgress> m_progress;
    int m_left = kDefaultWindowEdgeTwips;
    int m_top = kDefaultWindowEdgeTwips;
    bool m_writeFailureReported = false;
    bool m_closed = false;
};

}  // namespace orlavo::discovery
