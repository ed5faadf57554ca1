#include "sign_announcements.h"

#include <fmt/format.h>

namespace orlavo::tools {

SignAnnouncements::~SignAnnouncements()
{
    for (const auto& [name, announcement] : m_signs) {
        announcement->setExpiryListener(nullptr);
    }
}

void SignAnnouncements::add(std::string name, signfeed::Announcement& announcement)
{
    announcement.setExpiryListener([this, name](const std::string& text) {
        m_log("announcement on " + name + " ended, its time is up: " + text);
    });
    m_signs.emplace_back(std::move(name), &announcement);
}

std::string SignAnnouncements::answer(std::string_view line)
{
    auto parsed = parseRequest(line);
    if (const auto* why = std::get_if<std::string>(&parsed)) {
        return formatReply({false, *why});
    }
    return formatReply(handle(std::get<ControlRequest>(parsed)));
}

std::string describeSigns(const std::vector<std::string>& names)
{
    constexpr std::size_t kNamed = 10;
    if (names.size() == 1) {
        return names.front();
    }
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) {
        list += (i == 0 ? "" : ", ") + names[i];
    }
    return fmt::format("{} signs ({}{})", names.size(), list, names.size() > kNamed ? ", ..." : "");
}

std::string SignAnnouncements::namesOf(const std::vector<Sign>& signs) const
{
    std::vector<std::string> names;
    for (const auto& sign : signs) {
        names.push_back(sign.first);
    }
    return describeSigns(names);
}

ControlReply SignAnnouncements::handle(const ControlRequest& request)
{
    std::vector<Sign> chosen;
    for (const Sign& sign : m_signs) {
        if (request.sign.empty() || sign.first == request.sign) {
            chosen.push_back(sign);
        }
    }
    if (chosen.empty()) {
        // A name of any length must not make the answer too long to read.
        const std::string asked = request.sign.size() > 64 ? request.sign.substr(0, 64) + "..." : request.sign;
        return {false, fmt::format("no sign is named \"{}\"; the signs are: {}", asked,
                                   namesOf(m_signs).empty() ? "none" : namesOf(m_signs))};
    }
    if (request.kind == ControlRequest::Kind::Clear) {
        std::vector<Sign> on;
        for (const Sign& sign : chosen) {
            if (sign.second->active()) {
                on.push_back(sign);
                m_loop.post([this, sign] {
                    if (sign.second->clear()) {
                        m_log("announcement on " + sign.first + " cleared");
                    }
                });
            }
        }
        return {true, on.empty() ? "no announcement was on " + namesOf(chosen)
                                 : "announcement ended on " + namesOf(on)};
    }
    if (std::string problem = signfeed::announcementProblem(request.text, request.minutes); !problem.empty()) {
        return {false, problem};
    }
    const char* unit = request.minutes == 1 ? "minute" : "minutes";
    for (const Sign& sign : chosen) {
        m_loop.post([this, sign, request, unit] {
            const signfeed::AnnounceResult result = sign.second->start(request.text, request.minutes);
            m_log(fmt::format("announcement on {} for {} {}: {}{}", sign.first, request.minutes, unit,
                              sign.second->text(), result.note.empty() ? "" : " (" + result.note + ")"));
        });
    }
    return {true, fmt::format("announcing on {} for {} {}", namesOf(chosen), request.minutes, unit)};
}

}  // namespace orlavo::tools
