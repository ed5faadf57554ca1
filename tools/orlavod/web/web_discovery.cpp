#include "web/web_discovery.h"

#include "web/web_api.h"

#include "discovery/discovery_window_model.h"
#include "platform/profile_file.h"
#include "platform/whole_file.h"

namespace orlavo::tools {

using nlohmann::json;

namespace {

// The walk's boxes become the answer's error.
class CollectedMessages final : public signfeed::MessageSink {
public:
    void showMessage(signfeed::MessageIcon, std::string_view title, std::string_view text) override
    {
        if (first.empty()) {
            first = std::string(title) + ": " + std::string(text);
        }
    }
    std::string first;
};

json foundSign(const std::string& line, bool named)
{
    json found{{"line", line}};
    if (std::optional<discovery::LineReading> reading = discovery::readListLine(line, named)) {
        found["address"] = reading->address;
        found["name"] = reading->name;
    }
    if (const std::size_t mac = line.find("MAC: "); mac != std::string::npos) {
        found["mac"] = line.substr(mac + 5, line.find_first_of(" \t", mac + 5) - (mac + 5));
    }
    return found;
}

}  // namespace

struct WebDiscovery::Walk final : discovery::DiscoveryWindowModel::Listener {
    Walk(WebDiscovery& owner, std::string bytes, signfeed::MainWindowModel& window, Done whenDone)
        : settings(std::move(bytes)), startMs(owner.m_clock.nowMs()), clock(owner.m_clock), signWindow(window),
          model(discovery::DiscoveryWindowDeps{owner.m_clock, owner.m_loop, settings, noUserStore, owner.m_udp,
                                               messages, window}),
          done(std::move(whenDone))
    {
        model.setListener(this);
    }
    ~Walk() { model.setListener(nullptr); }

    void fieldChanged(discovery::DiscoveryField) override {}
    void walkProgress(const discovery::WalkProgress& progress) override
    {
        walked = progress.index;
        total = progress.total;
        // The service closing its signs (a SIGTERM) must not wait for the walk.
        if ((clock.nowMs() - startMs > kMaxWalkMs || signWindow.closed()) && !cut) {
            cut = true;
            model.close();
        }
    }

    platform::MemoryProfileFile settings;  // the load writes back what it read: to this copy
    platform::MemoryProfileFile noUserStore;
    CollectedMessages messages;
    std::int64_t startMs;
    platform::Clock& clock;
    const signfeed::MainWindowModel& signWindow;
    discovery::DiscoveryWindowModel model;
    Done done;
    std::uint64_t walked = 0;
    std::uint64_t total = 0;
    bool cut = false;
    bool named = false;
};

WebDiscovery::WebDiscovery(SignBoard& board, platform::Clock& clock, platform::UdpEndpoint& udp)
    : m_board(board), m_clock(clock), m_loop(board.loop()), m_udp(udp)
{
}

WebDiscovery::~WebDiscovery() = default;

std::optional<WebResponse> WebDiscovery::start(const WebRequest& request, Done done)
{
    json body = json::object();
    if (!request.body.empty()) {
        auto parsed = jsonBody(request.body);
        if (auto* refusal = std::get_if<WebResponse>(&parsed)) {
            return std::move(*refusal);
        }
        body = std::move(std::get<json>(parsed));
    }
    std::string sign;
    if (auto it = body.find("sign"); it != body.end()) {
        if (!it->is_string()) {
            return errorResponse(400, "sign must be a string");
        }
        sign = it->get<std::string>();
    } else {
        const std::vector<SignView> all = m_board.signs();
        if (all.size() != 1) {
            return errorResponse(400, "name the sign whose range to walk: {\"sign\": NAME}");
        }
        sign = all.front().name;
    }
    const BoardSign* found = m_board.find(sign);
    if (found == nullptr) {
        return errorResponse(404, "there is no sign named \"" + sign + "\"");
    }
    if (m_walk) {
        return errorResponse(409, "a discovery is under way already; try again when it has ended");
    }
    std::optional<std::string> bytes = platform::readWholeFile(found->settingsPath, platform::kMaxProfileBytes);
    if (!bytes) {
        return errorResponse(500, "the settings file of \"" + sign + "\" cannot be read");
    }
    m_walk = std::make_unique<Walk>(*this, std::move(*bytes), found->program.window(), std::move(done));
    // The walk pauses between probes, serving the loop meanwhile: it must not
    // run inside the request's own task, which its caller waits on.
    m_loop.post([weak = weak_from_this(), sign] {
        if (auto self = weak.lock()) {
            self->run(sign);
        }
    });
    return std::nullopt;
}

void WebDiscovery::run(const std::string& sign)
{
    Walk& walk = *m_walk;
    walk.model.load();
    walk.named = discovery::namedReplyMode(walk.model.control(discovery::DiscoveryField::DiscoveryPort).text);
    if (walk.model.locate() == discovery::WalkOutcome::Refused) {
        const std::string why = walk.messages.first.empty() ? "the discovery range of \"" + sign + "\" cannot be walked"
                                                            : walk.messages.first;
        Done done = std::move(walk.done);
        m_walk.reset();
        done(errorResponse(400, why));
        return;
    }
    m_loop.startTimer(kLateReplyMs, [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->finish();
        }
    });
}

void WebDiscovery::finish()
{
    Walk& walk = *m_walk;
    json signs = json::array();
    for (const std::string& line : walk.model.control(discovery::DiscoveryField::Replies).entries) {
        signs.push_back(foundSign(line, walk.named));
    }
    json answer{{"signs", signs}, {"walked", walk.walked}, {"addresses", walk.total}, {"cut_short", walk.cut}};
    Done done = std::move(walk.done);
    walk.model.close();
    m_walk.reset();
    done(jsonResponse(200, answer));
}

}  // namespace orlavo::tools
