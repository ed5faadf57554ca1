#include "sign_board.h"

#include "update_log.h"

#include "signfeed/sign_protocol.h"

#include <fmt/format.h>


namespace orlavo::tools {

namespace {

std::optional<std::string> isoTime(const std::optional<platform::LocalTime>& when)
{
    if (!when) {
        return std::nullopt;
    }
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", when->year, when->month, when->day, when->hour,
                       when->minute, when->second);
}

nlohmann::json orNull(const std::optional<std::string>& text)
{
    return text ? nlohmann::json(*text) : nlohmann::json(nullptr);
}

}  // namespace

// One sign's watch: what its link delivered (through the preview), the ends
// of its updates, and its announcement; each change goes to the listeners.
struct SignBoard::Watch final : signfeed::UpdateCycleObserver {
    Watch(SignBoard& board, const BoardSign& sign) : board(board), sign(sign)
    {
        preview.setChangeHandler([this] { this->board.changed(this->sign.name); });
        sign.program.link().setObserver(&preview);
        sign.program.announcement().setChangeListener([this] { this->board.changed(this->sign.name); });
    }
    ~Watch()
    {
        sign.program.announcement().setChangeListener(nullptr);
        sign.program.link().setObserver(nullptr);
        if (attached) {
            sign.program.cycle().setObserver(next);
        }
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    void updateFinished(const signfeed::DownloadOutcome& outcome, const signfeed::ComposeResult& result) override
    {
        if (next != nullptr) {
            next->updateFinished(outcome, result);
        }
        lastResult = updateText(sign.program.lastUrl(), outcome, result, sign.program.lastFrameReport());
        board.changed(sign.name);
    }
    void updateAbandoned(const std::string& why) override
    {
        if (next != nullptr) {
            next->updateAbandoned(why);
        }
        lastResult = why;
        board.changed(sign.name);
    }
    void hoursChanged(bool on, const std::string& nextStart) override
    {
        if (next != nullptr) {
            next->hoursChanged(on, nextStart);
        }
        board.changed(sign.name);
    }

    SignBoard& board;
    BoardSign sign;
    signfeed::SignPreview preview;
    signfeed::UpdateCycleObserver* next = nullptr;
    bool attached = false;
    std::string lastResult;
};

nlohmann::json signJson(const SignView& view)
{
    nlohmann::json headlines = nlohmann::json::array();
    for (const ShownMessage& message : view.headlines) {
        headlines.push_back({{"colour", message.colour}, {"text", message.text}});
    }
    nlohmann::json announcement = nullptr;
    if (view.announcement) {
        announcement = {{"text", view.announcement->text}, {"seconds_left", view.announcement->secondsLeft}};
    }
    return {
        {"name", view.name},
        {"address", view.address},
        {"link", {{"udp", view.udp}, {"serial", view.serial}, {"serial_port", view.serialPort}, {"clock", view.clock}}},
        {"last_update", orNull(view.lastUpdate)},
        {"failing_since", orNull(view.failingSince)},
        {"headlines", std::move(headlines)},
        {"announcement", std::move(announcement)},
        {"updating", view.updating},
        {"inside_hours", view.insideHours},
        {"sending", view.sending},
        {"last_result", view.lastResult},
    };
}

SignBoard::SignBoard(platform::EventLoop& loop, const std::vector<BoardSign>& signs, SignAnnouncements& announcements)
    : m_loop(loop), m_announcements(announcements)
{
    for (const BoardSign& sign : signs) {
        m_watches.push_back(std::make_unique<Watch>(*this, sign));
    }
}

SignBoard::~SignBoard() = default;

signfeed::UpdateCycleObserver& SignBoard::cycleObserver(std::string_view sign, signfeed::UpdateCycleObserver* next)
{
    for (const auto& watch : m_watches) {
        if (watch->sign.name == sign) {
            watch->next = next;
            watch->attached = true;
            return *watch;
        }
    }
    // Only the service asks, for its own signs.
    throw std::invalid_argument("no sign is named " + std::string(sign));
}

const SignBoard::Watch* SignBoard::watchOf(std::string_view name) const
{
    for (const auto& watch : m_watches) {
        if (watch->sign.name == name) {
            return watch.get();
        }
    }
    return nullptr;
}

const BoardSign* SignBoard::find(std::string_view name) const
{
    const Watch* watch = watchOf(name);
    return watch != nullptr ? &watch->sign : nullptr;
}

SignView SignBoard::view(const Watch& watch) const
{
    signfeed::FeedProgram& program = watch.sign.program;
    const signfeed::MainWindowModel& window = program.window();
    SignView view;
    view.name = watch.sign.name;
    view.udp = window.udpLinkOn();
    view.serial = window.serialLinkOn();
    view.address = view.udp ? window.signAddress() : std::string();
    view.serialPort = view.serial ? window.serialPortNumber() : std::string();
    view.clock = window.embeddedInClock();
    view.lastUpdate = isoTime(program.cycle().headlinesFrom());
    view.failingSince = isoTime(program.cycle().failingSince());
    if (const auto& shown = watch.preview.shown(); shown && shown->kind == signfeed::SignCommand::Kind::TextMessage) {
        for (const signfeed::DecodedMessage& message : shown->messages) {
            // The blank that parts one message from the next is not part of its text.
            const std::size_t end = message.text.find_last_not_of(' ');
            view.headlines.push_back({std::string(signfeed::colourName(message.colour)),
                                      message.text.substr(0, end == std::string::npos ? 0 : end + 1)});
        }
    }
    if (const signfeed::Announcement& announcement = program.announcement(); announcement.active()) {
        view.announcement = AnnouncementView{announcement.text(), (announcement.remainingMs() + 999) / 1000};
    }
    view.updating = program.cycle().busy();
    view.insideHours = program.cycle().insideHours();
    view.sending = watch.preview.progressText();
    view.lastResult = watch.lastResult;
    return view;
}

std::vector<SignView> SignBoard::signs() const
{
    std::vector<SignView> views;
    views.reserve(m_watches.size());
    for (const auto& watch : m_watches) {
        views.push_back(view(*watch));
    }
    return views;
}

std::optional<SignView> SignBoard::sign(std::string_view name) const
{
    const Watch* watch = watchOf(name);
    return watch != nullptr ? std::optional<SignView>(view(*watch)) : std::nullopt;
}

SignBoard::ListenerId SignBoard::listen(ChangeListener listener)
{
    const ListenerId id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void SignBoard::unlisten(ListenerId id)
{
    m_listeners.erase(id);
}

void SignBoard::changed(const std::string& sign)
{
    // A listener may add or remove listeners: walk a copy of the ids.
    std::vector<ListenerId> ids;
    for (const auto& entry : m_listeners) {
        ids.push_back(entry.first);
    }
    for (ListenerId id : ids) {
        if (auto it = m_listeners.find(id); it != m_listeners.end()) {
            it->second(sign);
        }
    }
}

namespace {

BoardReply unknownSign(std::string_view name)
{
    const std::string asked = name.size() > 64 ? std::string(name.substr(0, 64)) + "..." : std::string(name);
    return {BoardReply::Status::NotFound, fmt::format("no sign is named \"{}\"", asked)};
}

BoardReply fromControl(const ControlReply& reply)
{
    return {reply.ok ? BoardReply::Status::Ok : BoardReply::Status::BadRequest, reply.message};
}

}  // namespace

BoardReply SignBoard::announce(std::string_view sign, std::string_view text, int minutes)
{
    // An empty name means every sign to the control socket; here it names none.
    if (find(sign) == nullptr) {
        return unknownSign(sign);
    }
    return fromControl(
        m_announcements.handle({ControlRequest::Kind::Announce, std::string(sign), minutes, std::string(text)}));
}

BoardReply SignBoard::clearAnnouncement(std::string_view sign)
{
    if (find(sign) == nullptr) {
        return unknownSign(sign);
    }
    return fromControl(m_announcements.handle({ControlRequest::Kind::Clear, std::string(sign), 0, {}}));
}

BoardReply SignBoard::updateNow(std::string_view sign)
{
    const Watch* watch = watchOf(sign);
    if (watch == nullptr) {
        return unknownSign(sign);
    }
    signfeed::FeedProgram& program = watch->sign.program;
    // Posted, as the control socket's commands are: the reply never waits for the
    // download.
    m_loop.post([&program] { program.cycle().requestUpdate(); });
    if (program.announcement().active()) {
        return {BoardReply::Status::Ok,
                "an announcement is on " + watch->sign.name + ": its headlines follow when it ends"};
    }
    return {BoardReply::Status::Ok, "updating " + watch->sign.name};
}

}  // namespace orlavo::tools
