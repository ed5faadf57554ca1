#include "web/sign_settings_json.h"

#include "platform/code_page.h"
#include "shared/settings.h"
#include "shared/text_numbers.h"
#include "signfeed/sign_schedule.h"

#include <fmt/format.h>

#include <charconv>
#include <vector>

namespace orlavo::tools {

namespace {

using signfeed::Field;
using nlohmann::json;
using signfeed::kFeedSlots;
using signfeed::kLongestValue;
using signfeed::leadingNumberOf;
using signfeed::readIni;

constexpr std::string_view kSchedule = "Schedule";
// Longest period a person would set: a week.
constexpr double kMaxPeriodMinutes = 7 * 24 * 60;
constexpr int kSerialPorts = 255;

// What one PUT asks, read and checked before any of it is applied.
struct Edit {
    std::vector<std::pair<int, std::string>> feeds;  // slot, address
    std::optional<std::string> period;
    std::optional<std::string> messages;
    std::optional<std::string> speed;
    std::optional<std::string> hours;
    std::optional<std::string> days;
    std::optional<bool> udp;
    std::optional<std::string> address;
    std::optional<bool> serial;
    std::optional<int> serialPort;
    std::optional<bool> clock;
};

struct Reader {
    const json& object;
    std::string prefix;  // "link." inside the link object
    std::string error;

    const json* field(const char* name)
    {
        auto it = object.find(name);
        return it == object.end() ? nullptr : &*it;
    }
    void refuse(const char* name, const std::string& why)
    {
        if (error.empty()) {
            error = prefix + name + " " + why;
        }
    }
    std::optional<std::string> text(const char* name)
    {
        const json* value = field(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_string()) {
            refuse(name, "must be a string");
            return std::nullopt;
        }
        const auto& s = value->get_ref<const std::string&>();
        if (platform::utf8Length(s) > kLongestValue) {
            refuse(name, "is longer than " + std::to_string(kLongestValue) + " characters");
            return std::nullopt;
        }
        return s;
    }
    std::optional<bool> flag(const char* name)
    {
        const json* value = field(name);
        if (value != nullptr && !value->is_boolean()) {
            refuse(name, "must be true or false");
            return std::nullopt;
        }
        return value != nullptr ? std::optional<bool>(value->get<bool>()) : std::nullopt;
    }
    // A whole number from low to high; a JSON float with no fraction is one too.
    std::optional<std::int64_t> whole(const char* name, std::int64_t low, std::int64_t high)
    {
        const json* value = field(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        const std::string range = "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        if (value->is_number_unsigned()) {
            const auto n = value->get<std::uint64_t>();
            if (n <= static_cast<std::uint64_t>(high) && static_cast<std::int64_t>(n) >= low) {
                return static_cast<std::int64_t>(n);
            }
        } else if (value->is_number_integer()) {
            const auto n = value->get<std::int64_t>();
            if (n >= low && n <= high) {
                return n;
            }
        }
        refuse(name, range);
        return std::nullopt;
    }
};

// "15", "0.5": the period as the window's field holds it.
std::string periodText(double minutes)
{
    return fmt::format("{}", minutes);
}

Edit readEdit(const json& body, std::string& error)
{
    Edit edit;
    if (!body.is_object()) {
        error = "the settings must be a JSON object";
        return edit;
    }
    Reader top{body, {}, {}};
    if (const json* feeds = top.field("feeds")) {
        if (!feeds->is_array() || feeds->size() > static_cast<std::size_t>(kFeedSlots)) {
            top.refuse("feeds", "must be an array of at most " + std::to_string(kFeedSlots) + " strings");
        } else {
            for (std::size_t slot = 0; slot < feeds->size(); ++slot) {
                const json& url = (*feeds)[slot];
                const std::string name = "feeds[" + std::to_string(slot) + "]";
                if (!url.is_string()) {
                    top.refuse(name.c_str(), "must be a string");
                } else if (platform::utf8Length(url.get_ref<const std::string&>()) > kLongestValue) {
                    top.refuse(name.c_str(), "is longer than " + std::to_string(kLongestValue) + " characters");
                } else {
                    edit.feeds.emplace_back(static_cast<int>(slot), url.get<std::string>());
                }
            }
        }
    }
    if (const json* period = top.field("update_period")) {
        if (!period->is_number() || !(period->get<double>() > 0) || period->get<double>() > kMaxPeriodMinutes) {
            top.refuse("update_period", "must be a number of minutes above 0 and at most " +
                                            std::to_string(static_cast<int>(kMaxPeriodMinutes)));
        } else {
            edit.period = periodText(period->get<double>());
        }
    }
    // The window cuts both to their largest value itself, as when typed.
    if (auto messages = top.whole("messages", 1, 1000000)) {
        edit.messages = std::to_string(*messages);
    }
    if (auto speed = top.whole("speed", 1, 1000000)) {
        edit.speed = std::to_string(*speed);
    }
    edit.hours = top.text("hours");
    edit.days = top.text("days");
    if (const json* link = top.field("link")) {
        if (!link->is_object()) {
            top.refuse("link", "must be a JSON object");
        } else {
            Reader inner{*link, "link.", {}};
            edit.udp = inner.flag("udp");
            edit.address = inner.text("address");
            edit.serial = inner.flag("serial");
            if (auto port = inner.whole("serial_port", 1, kSerialPorts)) {
                edit.serialPort = static_cast<int>(*port);
            }
            edit.clock = inner.flag("clock");
            if (top.error.empty()) {
                top.error = inner.error;
            }
        }
    }
    error = top.error;
    return edit;
}

std::optional<std::string> checkHours(const Edit& edit)
{
    if (edit.hours) {
        if (auto reading = signfeed::readSchedule(*edit.hours, ""); !reading.problem.empty()) {
            return "hours: " + reading.problem;
        }
    }
    if (edit.days) {
        if (auto reading = signfeed::readSchedule("", *edit.days); !reading.problem.empty()) {
            return "days: " + reading.problem;
        }
    }
    return std::nullopt;
}

void setCheck(signfeed::MainWindowModel& window, Field box, std::optional<bool> on)
{
    if (on && window.checked(box) != *on) {
        window.editCheck(box, *on ? 1 : 0);
    }
}

void setText(signfeed::MainWindowModel& window, Field field, const std::optional<std::string>& text)
{
    if (text && window.control(field).text != *text) {
        window.editText(field, *text);
    }
}

// A whole number as one, so 15 reads "15" and not "15.0"; a file may hold any value.
json number(double value)
{
    constexpr double kExact = 1e15;
    if (value > -kExact && value < kExact && value == static_cast<double>(static_cast<std::int64_t>(value))) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

}  // namespace

json settingsJson(signfeed::MainWindowModel& window)
{
    json feeds = json::array();
    for (const std::string& url : window.control(Field::AccessPointIP).entries) {
        feeds.push_back(url);
    }
    json period = nullptr;  // not a number: automatic updates are off
    if (std::optional<double> minutes = window.updatePeriodMinutes()) {
        period = number(*minutes);
    }
    int serialPort = 1;
    (void)std::from_chars(window.serialPortNumber().data(),
                          window.serialPortNumber().data() + window.serialPortNumber().size(), serialPort);
    return json{
        {"feeds", feeds},
        {"update_period", period},
        {"messages", number(leadingNumberOf(window.messageLimitText()))},
        {"speed", number(leadingNumberOf(window.speedText()))},
        {"hours", readIni(window.settings(), kSchedule, "Hours", "")},
        {"days", readIni(window.settings(), kSchedule, "Days", "")},
        {"link",
         {{"udp", window.udpLinkOn()},
          {"address", window.control(Field::Text1).text},
          {"serial", window.serialLinkOn()},
          {"serial_port", serialPort},
          {"clock", window.embeddedInClock()}}},
    };
}

std::optional<std::string> applySettings(signfeed::MainWindowModel& window, const json& body)
{
    std::string error;
    const Edit edit = readEdit(body, error);
    if (!error.empty()) {
        return error;
    }
    if (auto problem = checkHours(edit)) {
        return problem;
    }
    const auto& slots = window.control(Field::AccessPointIP).entries;
    for (const auto& [slot, url] : edit.feeds) {
        if (static_cast<std::size_t>(slot) < slots.size() && slots[static_cast<std::size_t>(slot)] == url) {
            continue;
        }
        // Selected, typed and Enter: the list stores the slot.
        window.chooseFeedSlot(slot);
        window.editFeedText(url);
        (void)window.feedKeyPress(13);
    }
    setText(window, Field::Text5, edit.period);
    setText(window, Field::Text3, edit.messages);
    setText(window, Field::Text4, edit.speed);
    if (edit.hours) {
        window.store(kSchedule, "Hours", *edit.hours);
    }
    if (edit.days) {
        window.store(kSchedule, "Days", *edit.days);
    }
    setCheck(window, Field::Check1, edit.udp);
    if (edit.address && window.control(Field::Text1).text != *edit.address) {
        window.editText(Field::Text1, *edit.address);
        window.aimUdpLink();  // as when the field loses the focus
    }
    setCheck(window, Field::Check2, edit.serial);
    if (edit.serialPort && std::to_string(*edit.serialPort) != window.serialPortNumber()) {
        window.choosePort(*edit.serialPort - 1);
    }
    setCheck(window, Field::Check3, edit.clock);
    return std::nullopt;
}

}  // namespace orlavo::tools
