#pragma once
// Both windows' models on one settings file, as in the program: the main
// window loaded first, then the discovery window opened over it, on fake
// links. The discovery window is not loaded: each test loads it when its
// set-up is done. Loop: the event loop the models run on.
#include "discovery/discovery_window_model.h"
#include "platform/manual_clock.h"
#include "signfeed/main_window_model.h"
#include "support/fake_message_sink.h"
#include "support/fake_process_launcher.h"
#include "support/fake_serial_port.h"
#include "support/fake_udp_endpoint.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace orlavo::testing {

// Records the address each browser window Browse opens starts at.
class FakeBrowsers final : public discovery::BrowserFactory {
public:
    class Window final : public discovery::BrowserWindow {
    public:
        explicit Window(FakeBrowsers& owner) : m_owner(owner) {}
        void setStartingAddress(const std::string& address) override { m_owner.addresses.push_back(address); }
        void showModal() override { ++m_owner.shown; }

    private:
        FakeBrowsers& m_owner;
    };
    std::unique_ptr<discovery::BrowserWindow> createBrowserWindow() override { return std::make_unique<Window>(*this); }
    std::vector<std::string> addresses;
    int shown = 0;
};

template <typename Loop>
struct DiscoveryRig {
    explicit DiscoveryRig(std::string ini, std::string userStore = {})
        : settings(std::move(ini)), store(std::move(userStore))
    {
        mainWindow.load();
    }
    std::string read(std::string_view section, std::string_view key) const
    {
        return settings.read(section, key, "<missing>");
    }
    static Loop makeLoop(platform::Clock& clock)
    {
        if constexpr (std::is_constructible_v<Loop, platform::Clock&>) {
            return Loop(clock);
        } else {
            return Loop();
        }
    }

    platform::ManualClock clock;
    Loop loop{makeLoop(clock)};
    platform::MemoryProfileFile settings;
    platform::MemoryProfileFile store;
    FakeUdpEndpoint mainUdp{clock};
    FakeSerialPort serial{clock};
    FakeUdpEndpoint discoveryUdp{clock};
    FakeProcessLauncher launcher;
    discovery::TelnetLauncher telnet{launcher};
    FakeBrowsers browsers;
    FakeMessageSink sink;
    signfeed::MainWindowModel mainWindow{signfeed::MainWindowDeps{clock, loop, settings, mainUdp, serial, sink},
                                         signfeed::MainWindowOptions{0, "test"}};
    discovery::DiscoveryWindowModel window{discovery::DiscoveryWindowDeps{
        clock, loop, settings, store, discoveryUdp, sink, mainWindow, &browsers, &telnet}};
};

}  // namespace orlavo::testing
