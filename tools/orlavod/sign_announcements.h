#pragma once
// The service's side of "orlavod announce": answers the control socket's
// requests over the announcements of the signs it drives, by sign name.
#include "control_protocol.h"

#include "platform/event_loop.h"
#include "signfeed/announcement.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orlavo::tools {

// "lobby", or "3 signs (a, b, c)"; past ten names the rest is "...", so an
// answer about a thousand signs stays one short line.
[[nodiscard]] std::string describeSigns(const std::vector<std::string>& names);

class SignAnnouncements {
public:
    using Log = std::function<void(const std::string&)>;

    SignAnnouncements(platform::EventLoop& loop, Log log) : m_loop(loop), m_log(std::move(log)) {}
    ~SignAnnouncements();
    SignAnnouncements(const SignAnnouncements&) = delete;
    SignAnnouncements& operator=(const SignAnnouncements&) = delete;

    // Logs when its announcements end by themselves.
    void add(std::string name, signfeed::Announcement& announcement);
    // The reply line to one request line. The answer comes at once; the
    // frames go out from the loop after it, so a slow sign never keeps the
    // caller waiting.
    [[nodiscard]] std::string answer(std::string_view line);
    // The same for a request already read (an empty sign name means every sign).
    [[nodiscard]] ControlReply handle(const ControlRequest& request);

private:
    using Sign = std::pair<std::string, signfeed::Announcement*>;

    [[nodiscard]] std::string namesOf(const std::vector<Sign>& signs) const;

    platform::EventLoop& m_loop;
    Log m_log;
    std::vector<Sign> m_signs;
};

}  // namespace orlavo::tools
