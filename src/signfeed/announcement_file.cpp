#include "signfeed/announcement_file.h"

#include "platform/code_page.h"

#include <fmt/format.h>

#include <charconv>

namespace orlavo::signfeed {

namespace {

constexpr std::string_view kHeader = "[Announcement]";
constexpr std::string_view kTextKey = "Text=";
constexpr std::string_view kUntilKey = "Until=";

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t secondsOf(const platform::LocalTime& t)
{
    return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 +
           t.hour * 3600 + t.minute * 60 + t.second;
}

std::optional<int> numberAt(std::string_view text, std::size_t at, std::size_t digits, int low, int high)
{
    int value = 0;
    const char* begin = text.data() + at;
    auto [end, error] = std::from_chars(begin, begin + digits, value);
    if (error != std::errc() || end != begin + digits || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "YYYY-MM-DD HH:MM:SS", strictly.
std::optional<platform::LocalTime> parseTime(std::string_view text)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    auto year = numberAt(text, 0, 4, 1970, 9999);
    auto month = numberAt(text, 5, 2, 1, 12);
    auto day = numberAt(text, 8, 2, 1, 31);
    auto hour = numberAt(text, 11, 2, 0, 23);
    auto minute = numberAt(text, 14, 2, 0, 59);
    auto second = numberAt(text, 17, 2, 0, 59);
    if (!year || !month || !day || !hour || !minute || !second) {
        return std::nullopt;
    }
    return platform::LocalTime{*year, *month, *day, *hour, *minute, *second};
}

}  // namespace

std::filesystem::path announcementFileFor(const std::filesystem::path& settingsPath)
{
    std::filesystem::path file = settingsPath;
    return file.replace_extension(".announce");
}

std::string formatAnnouncementFile(const KeptAnnouncement& kept)
{
    const platform::LocalTime& t = kept.until;
    return fmt::format("{}\n{}{}\n{}{:04}-{:02}-{:02} {:02}:{:02}:{:02}\n", kHeader, kTextKey, kept.text, kUntilKey,
                       t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::optional<KeptAnnouncement> parseAnnouncementFile(std::string_view bytes)
{
    if (bytes.size() > kMaxAnnouncementFileBytes) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    std::optional<platform::LocalTime> until;
    bool inSection = false;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.starts_with('[')) {
            inSection = line == kHeader;
        } else if (inSection && line.starts_with(kTextKey)) {
            text = platform::decodeUtf8OrCp1252(line.substr(kTextKey.size()));
        } else if (inSection && line.starts_with(kUntilKey)) {
            until = parseTime(line.substr(kUntilKey.size()));
        }
    }
    if (!text || !until) {
        return std::nullopt;
    }
    return KeptAnnouncement{*text, *until};
}

std::int64_t secondsBetween(const platform::LocalTime& from, const platform::LocalTime& to)
{
    return secondsOf(to) - secondsOf(from);
}

platform::LocalTime addSeconds(const platform::LocalTime& time, std::int64_t seconds)
{
    std::int64_t total = secondsOf(time) + seconds;
    std::int64_t days = total / 86400;
    std::int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Back from days since 1970-01-01 to a date: daysFromCivil undone.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    return platform::LocalTime{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d),
                               static_cast<int>(rest / 3600), static_cast<int>(rest % 3600 / 60),
                               static_cast<int>(rest % 60)};
}

}  // namespace orlavo::signfeed
