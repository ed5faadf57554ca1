#include "discovery/discovery_window_model.h"

#include "shared/text_numbers.h"

namespace orlavo::discovery {

using F = DiscoveryField;
using signfeed::MessageIcon;

namespace {

constexpr std::array<F, 4> kStartFields{F::StartOctet1, F::StartOctet2, F::StartOctet3, F::StartOctet4};
constexpr std::array<F, 4> kEndFields{F::EndOctet1, F::EndOctet2, F::EndOctet3, F::EndOctet4};

// Characters, not bytes: a field holds UTF-8 text.
std::string cutToChars(std::string text, std::size_t chars)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && ++seen > chars) {
            text.resize(i);
            break;
        }
    }
    return text;
}

}  // namespace

DiscoveryWindowModel::DiscoveryWindowModel(DiscoveryWindowDeps deps)
    : m_deps(deps),
      m_scanner(deps.clock, deps.loop, deps.udp, deps.messages),
      m_controls(designedControls())
{
    m_scanner.setListener(this);
}

DiscoveryWindowModel::~DiscoveryWindowModel()
{
    m_scanner.setListener(nullptr);
}

void DiscoveryWindowModel::notify(F field)
{
    if (m_listener != nullptr) {
        m_listener->fieldChanged(field);
    }
}

void DiscoveryWindowModel::setText(F field, std::string text)
{
    mut(field).text = std::move(text);
    notify(field);
}

void DiscoveryWindowModel::setVisible(F field, bool visible)
{
    mut(field).visible = visible;
    notify(field);
}

void DiscoveryWindowModel::setEnabled(F field, bool enabled)
{
    mut(field).enabled = enabled;
    notify(field);
}

void DiscoveryWindowModel::setFieldText(F field, std::string text)
{
    if (control(field).text == text) {
        return;
    }
    setText(field, std::move(text));
    textChanged(field);
}

void DiscoveryWindowModel::textChanged(F field)
{
    if (field == F::SignAddress) {
        store(key::kRemoteIp, control(F::SignAddress).text);
    } else if (field == F::DiscoveryPort) {
        m_scanner.changePort(control(F::DiscoveryPort).text);
    }
}

void DiscoveryWindowModel::store(const signfeed::SettingKey& key, std::string_view value)
{
    auto error = signfeed::writeIni(m_deps.settings, key.section, key.key, value);
    if (error && !m_writeFailureReported) {
        m_writeFailureReported = true;
        m_deps.messages.showMessage(MessageIcon::Critical, "Settings",
                                    "Cannot write the settings file: " + error->description);
    }
}

void DiscoveryWindowModel::editAddress(std::string text)
{
    setFieldText(F::SignAddress, std::move(text));
}

void DiscoveryWindowModel::editPort(std::string text)
{
    text = cutToChars(std::move(text), kPortMaxChars);
    setFieldText(F::DiscoveryPort, std::move(text));
}

void DiscoveryWindowModel::editOctet(F field, std::string text)
{
    const bool isOctet = (field >= F::StartOctet1 && field <= F::StartOctet4) || (field >= F::EndOctet1 && field <= F::EndOctet4);
    if (isOctet) {
        setFieldText(field, cutToChars(std::move(text), kOctetMaxChars));
    }
}

void DiscoveryWindowModel::setAllTo255()
{
    for (const auto& fields : {kStartFields, kEndFields}) {
        for (F f : fields) {
            setFieldText(f, "255");
        }
    }
}

RangeTexts DiscoveryWindowModel::rangeTexts() const
{
    RangeTexts texts;
    for (std::size_t i = 0; i < 4; ++i) {
        texts.start[i] = control(kStartFields[i]).text;
        texts.end[i] = control(kEndFields[i]).text;
    }
    return texts;
}

WalkOutcome DiscoveryWindowModel::locate()
{
    if (m_closed || m_scanner.walking()) {
        return WalkOutcome::Refused;
    }
    return m_scanner.locate(rangeTexts(), [this] { return m_deps.mainWindow.udpLinkOn(); });
}

void DiscoveryWindowModel::walkStarted()
{
    mut(F::Replies).entries.clear();
    mut(F::Replies).selectedIndex = -1;
    notify(F::Replies);
    setEnabled(F::Locate, false);
    setText(F::SearchedAddress, "");
    setVisible(F::SearchingCaption, true);
    setVisible(F::SearchedAddress, true);
}

void DiscoveryWindowModel::walkProgress(const WalkProgress& progress)
{
    m_progress = progress;
    setText(F::SearchedAddress, progress.address);
    if (m_listener != nullptr) {
        m_listener->walkProgress(progress);
    }
}

void DiscoveryWindowModel::walkEnded(const WalkSummary&)
{
    m_progress.reset();
    setVisible(F::SearchingCaption, false);
    setVisible(F::SearchedAddress, false);
    setEnabled(F::Locate, true);
}

void DiscoveryWindowModel::lineFound(const std::string& line)
{
    mut(F::Replies).entries.push_back(line);
    notify(F::Replies);
}

void DiscoveryWindowModel::select(int index)
{
    const auto& entries = control(F::Replies).entries;
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        return;
    }
    auto reading = m_scanner.readLine(entries[static_cast<std::size_t>(index)]);
    if (!reading) {
        return;
    }
    mut(F::Replies).selectedIndex = index;
    notify(F::Replies);
    setFieldText(F::SignAddress, reading->address);
    // The main window's field and its sign link follow at once: the window
    // exists to choose the target.
    m_deps.mainWindow.useSignAddress(control(F::SignAddress).text);
    store(key::kRemoteIp, control(F::SignAddress).text);
    if (namedReplyMode(control(F::DiscoveryPort).text)) {
        setText(F::Hostname, reading->name);
    }
}

void DiscoveryWindowModel::browse()
{
    if (m_deps.browsers == nullptr) {
        m_deps.messages.showMessage(MessageIcon::Exclamation, "Browse", "No browser window is available here.");
        return;
    }
    std::unique_ptr<BrowserWindow> window = m_deps.browsers->createBrowserWindow();
    if (window) {
        window->setStartingAddress(control(F::SignAddress).text);
        window->showModal();
    }
}

void DiscoveryWindowModel::telnet()
{
    const std::string& address = control(F::SignAddress).text;
    if (address.empty()) {
        return;
    }
    if (m_deps.telnet == nullptr) {
        m_deps.messages.showMessage(MessageIcon::Exclamation, "Telnet", "Telnet is not available here.");
        return;
    }
    TelnetResult result = m_deps.telnet->open(address);
    if (result.outcome == TelnetOutcome::Refused) {
        m_deps.messages.showMessage(MessageIcon::Exclamation, "Telnet", result.message);
    }
}

}  // namespace orlavo::discovery
