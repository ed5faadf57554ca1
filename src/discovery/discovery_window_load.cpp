// The load and the close of the discovery window: the keys it reads and
// writes, the repair of an emptied range and the defaults of the error path.
#include "discovery/discovery_window_model.h"

#include "shared/text_numbers.h"

namespace orlavo::discovery {

using F = DiscoveryField;

namespace {

constexpr std::array<F, 4> kStartFields{F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4};
constexpr std::array<F, 4> kEndFields{F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4};
constexpr std::string_view kBroadcast = "255.255.255.255";

}  // namespace

void DiscoveryWindowModel::load()
{
    std::string remote = signfeed::readIni(m_deps.settings, key::kRemoteIp.section, key::kRemoteIp.key, "");
    if (remote.empty()) {
        remote = std::string(kBroadcast);
        store(key::kRemoteIp, remote);
    }
    setVisible(F::SearchingCaption, false);
    setVisible(F::SearchedAddress, false);
    setFieldText(F::SignAddress, remote);
    mut(F::Replies).entries.clear();
    mut(F::Replies).selectedIndex = -1;
    mut(F::Replies).visible = true;
    notify(F::Replies);
    setText(F::Hostname, "");
    readWindowPosition();
    readDiscoveryKeys();
    if (control(F::StartOctet1).text.empty()) {
        writeDiscoveryDefaults();
        readDiscoveryKeys();
    }
    // A port that cannot be opened: the defaults take effect at the next load.
    if (m_scanner.open(control(F::DiscoveryPort).text, remote)) {
        writeDiscoveryDefaults();
    }
}

void DiscoveryWindowModel::readDiscoveryKeys()
{
    auto read = [this](const signfeed::SettingKey& k) {
        return signfeed::readIni(m_deps.settings, k.section, k.key, k.fallback);
    };
    for (std::size_t i = 0; i < 4; ++i) {
        setFieldText(kStartFields[i], read(key::kStart[i]));
        setFieldText(kEndFields[i], read(key::kEnd[i]));
    }
    setFieldText(F::DiscoveryPort, read(key::kPort));
}

void DiscoveryWindowModel::writeDiscoveryDefaults()
{
    for (std::size_t i = 0; i < 4; ++i) {
        store(key::kStart[i], key::kStart[i].fallback);
        store(key::kEnd[i], key::kEnd[i].fallback);
    }
    store(key::kPort, key::kPort.fallback);
}

void DiscoveryWindowModel::readWindowPosition()
{
    auto edge = [this](std::string_view name) {
        std::string text = m_deps.userStore.read(kUserStoreSection, name, "");
        auto n = signfeed::wholeNumberOf(text);
        return n && *n >= -1'000'000 && *n <= 1'000'000 ? static_cast<int>(*n) : kDefaultWindowEdgeTwips;
    };
    m_left = edge(kUserStoreLeft);
    m_top = edge(kUserStoreTop);
}

void DiscoveryWindowModel::close()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_scanner.close();
    store(key::kRemoteIp, control(F::SignAddress).text);
    for (std::size_t i = 0; i < 4; ++i) {
        store(key::kStart[i], control(kStartFields[i]).text);
        store(key::kEnd[i], control(kEndFields[i]).text);
    }
    store(key::kPort, control(F::DiscoveryPort).text);
    if (m_listener != nullptr) {
        m_listener->closeRequested();
    }
}

}  // namespace orlavo::discovery
