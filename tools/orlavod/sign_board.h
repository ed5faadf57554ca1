#pragma once
// What the remote controls (the web page and its API, MQTT) see of the signs
// and may do with them: each sign's state as one JSON object, word when it
// changes, and the commands announce, clear and update now. Lives on the
// service's loop; other threads reach it through a platform::LoopInbox.
#include "sign_announcements.h"

#include "platform/event_loop.h"
#include "signfeed/feed_program.h"

#include "signfeed/sign_preview.h"
#include "signfeed/update_cycle.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlavo::tools {

struct ShownMessage {
    std::string colour;  // "red", "green", ... (signfeed::colourName)
    std::string text;  // UTF-8
};

struct AnnouncementView {
    std::string text;
    std::int64_t secondsLeft = 0;
};

// One sign as the remote controls show it.
struct SignView {
    std::string name;
    std::string address;  // the sign's UDP address; empty when the UDP link is off
    bool udp = false;
    bool serial = false;
    std::string serialPort;  // "1" for Com 1, when the serial link is on
    bool clock = false;  // the sign is built into a clock: frames go out in packets
    // Local times "2026-12-08T19:20:00": the last update that sent headlines,
    // and the first failure after it (empty while updates succeed).
    std::optional<std::string> lastUpdate;
    std::optional<std::string> failingSince;
    // What the sign shows now, decoded from the bytes it was sent.
    std::vector<ShownMessage> headlines;
    std::optional<AnnouncementView> announcement;
    bool updating = false;  // an update is under way
    bool insideHours = true;  // [Schedule]: false while the sign is dark
    std::string sending;  // "packet 3 of 40" while a frame goes out
    std::string lastResult;  // the last update's line, as the log has it, without the time
};

// The API's sign object: {"name", "address", "link": {...}, "last_update",
// "failing_since", "headlines": [{"colour", "text"}], "announcement":
// {"text", "seconds_left"} or null, "updating", "inside_hours", "sending", "last_result"}; absent times are null.
[[nodiscard]] nlohmann::json signJson(const SignView& view);

// How a command ended, in terms both HTTP and MQTT can say.
struct BoardReply {
    enum class Status { Ok, BadRequest, NotFound };
    Status status = Status::Ok;
    std::string message;  // one sentence for the user
};

// A sign the board watches: the service passes its SignSet's signs, tests programs on fake ports.
struct BoardSign {
    std::string name;
    std::filesystem::path settingsPath;
    signfeed::FeedProgram& program;
};

class SignBoard {
public:
    using ChangeListener = std::function<void(const std::string& sign)>;
    using ListenerId = std::uint64_t;

    // Watches every sign of set: its link (for what it shows), its update
    // cycle and its announcement. announcements answers (and logs) the announce and clear commands.
    SignBoard(platform::EventLoop& loop, const std::vector<BoardSign>& signs, SignAnnouncements& announcements);
    ~SignBoard();
    SignBoard(const SignBoard&) = delete;
    SignBoard& operator=(const SignBoard&) = delete;

    // The update cycle observer the board listens through; it passes every
    // event on to next (the service's update log), then tells the listeners.
    [[nodiscard]] signfeed::UpdateCycleObserver& cycleObserver(std::string_view sign,
                                                               signfeed::UpdateCycleObserver* next);

    [[nodiscard]] std::vector<SignView> signs() const;
    [[nodiscard]] std::optional<SignView> sign(std::string_view name) const;
    // The sign's program and settings file (for the settings and discovery
    // routes); nullptr when no sign has the name.
    [[nodiscard]] const BoardSign* find(std::string_view name) const;
    [[nodiscard]] platform::EventLoop& loop() { return m_loop; }

    // Runs after every change of a sign's state, on the loop, with its name.
    ListenerId listen(ChangeListener listener);
    void unlisten(ListenerId id);

    // The frames go out from the loop after the reply, as with the control socket.
    [[nodiscard]] BoardReply announce(std::string_view sign, std::string_view text, int minutes);
    [[nodiscard]] BoardReply clearAnnouncement(std::string_view sign);
    [[nodiscard]] BoardReply updateNow(std::string_view sign);

    // Tells the listeners that sign changed (a settings edit made through the board's user).
    void changed(const std::string& sign);

private:
    struct Watch;

    [[nodiscard]] const Watch* watchOf(std::string_view name) const;
    [[nodiscard]] SignView view(const Watch& watch) const;

    platform::EventLoop& m_loop;
    SignAnnouncements& m_announcements;
    std::vector<std::unique_ptr<Watch>> m_watches;
    std::map<ListenerId, ChangeListener> m_listeners;
    ListenerId m_nextListener = 1;
};

}  // namespace orlavo::tools
