#include "mqtt/mqtt_bridge.h"

#include "mqtt/mqtt_discovery.h"
#include "mqtt/mqtt_payloads.h"

#include "orlavo_version.h"
#include "platform/code_page.h"

namespace orlavo::tools {

namespace {

// A topic from the broker as one short log line: whoever publishes chooses it.
std::string shown(const std::string& topic)
{
    return platform::escapeControls(topic.size() > 120 ? topic.substr(0, 120) + "..." : topic);
}

}  // namespace

MqttBridge::MqttBridge(SignBoard& board, platform::LoopInbox& inbox, LogLine log)
    : m_board(board), m_inbox(inbox), m_log(std::move(log))
{
}

MqttBridge::~MqttBridge()
{
    stop();
}

std::optional<std::string> MqttBridge::start(const MqttOptions& options)
{
    if (auto problem = mqttOptionsProblem(options)) {
        return problem;
    }
    if (auto problem = planSigns()) {
        return problem;
    }
    m_options = options;
    m_connection.emplace(MqttConnection::Events{
        [this] { connected(); },
        [this](const std::string& topic, std::string_view payload, bool retained) {
            received(topic, payload, retained);
        },
        [this](std::string line) { postLog(std::move(line)); }});
    if (auto problem = m_connection->start(options, options.prefix + "/availability")) {
        m_connection.reset();
        return problem;
    }
    m_listener = m_board.listen([this](const std::string& sign) { publishState(sign); });
    return std::nullopt;
}

std::optional<std::string> MqttBridge::planSigns()
{
    std::vector<std::string> names;
    for (const SignView& view : m_board.signs()) {
        names.push_back(view.name);
    }
    TopicPlan plan = planTopics(names);
    if (!plan.error.empty()) {
        return plan.error;
    }
    for (const SignTopic& sign : plan.signs) {
        m_levelOf[sign.sign] = sign.level;
        m_signOf[sign.level] = sign.sign;
    }
    return std::nullopt;
}

void MqttBridge::stop()
{
    if (!m_connection) {
        return;
    }
    if (m_listener) {
        m_board.unlisten(*m_listener);
        m_listener.reset();
    }
    for (const auto& [sign, level] : m_levelOf) {
        m_connection->publish(topic(level, "availability"), "offline");
    }
    // Its own "offline" goes last, then the disconnect; its thread ends
    // before the connection goes, as that thread's events reach for it.
    m_connection->stop();
    m_connection.reset();
}

void MqttBridge::connected()
{
    m_connection->subscribe(m_options.prefix + "/+/announce");
    m_connection->subscribe(m_options.prefix + "/+/update");
    std::weak_ptr<int> alive = m_alive;
    (void)m_inbox.post([alive, this] {
        if (alive.lock()) {
            republishAll();
        }
    });
}

void MqttBridge::received(const std::string& topicText, std::string_view payload, bool retained)
{
    if (payload.size() > kMaxCommandPayloadBytes) {
        postLog("MQTT: a message of " + std::to_string(payload.size()) + " bytes on " + shown(topicText) +
                " dropped: a command takes at most 8 KiB");
        return;
    }
    if (retained) {
        // A kept command would run again at every connect.
        postLog("MQTT: a retained message on " + shown(topicText) +
                " ignored: commands must not be retained (an empty retained message clears it)");
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    (void)m_inbox.post([alive, this, topicText, text = std::string(payload)] {
        if (alive.lock()) {
            takeCommand(topicText, text);
        }
    });
}

void MqttBridge::takeCommand(const std::string& topicText, const std::string& payload)
{
    const std::optional<CommandTopic> command = commandTopicOf(topicText, m_options.prefix);
    if (!command) {
        return;
    }
    if (m_signOf.find(command->level) == m_signOf.end()) {
        note("MQTT: a command for \"" + shown(command->level) + "\" ignored: no sign takes that topic");
        return;
    }
    runCommand(*command, payload);
}

void MqttBridge::runCommand(const CommandTopic& command, const std::string& payload)
{
    const std::string& sign = m_signOf.at(command.level);
    BoardReply reply;
    if (command.command == SignCommand::Update) {
        reply = m_board.updateNow(sign);
    } else {
        const AnnounceParse parse = parseAnnouncePayload(payload);
        if (!parse.command) {
            note("MQTT: announce on " + sign + " refused: " + parse.error);
            return;
        }
        reply = parse.command->clear ? m_board.clearAnnouncement(sign)
                                     : m_board.announce(sign, parse.command->text, parse.command->minutes);
    }
    if (reply.status != BoardReply::Status::Ok) {
        note(std::string("MQTT: ") + (command.command == SignCommand::Update ? "update" : "announce") + " on " +
             sign + " refused: " + reply.message);
    }
}

void MqttBridge::republishAll()
{
    if (!m_connection || !m_connection->connected()) {
        return;
    }
    m_lastState.clear();
    const DiscoverySource source{m_options.prefix, m_options.discoveryPrefix, ORLAVO_VERSION};
    for (const auto& [sign, level] : m_levelOf) {
        if (m_options.discovery) {
            for (const DiscoveryMessage& message : discoveryMessages(source, SignTopic{sign, level})) {
                m_connection->publish(message.topic, message.payload);
            }
        }
        m_connection->publish(topic(level, "availability"), "online");
        publishState(sign);
    }
}

void MqttBridge::publishState(const std::string& sign)
{
    const auto level = m_levelOf.find(sign);
    if (!m_connection || !m_connection->connected() || level == m_levelOf.end()) {
        return;  // the next connect publishes every sign's state
    }
    const std::optional<SignView> view = m_board.sign(sign);
    if (!view) {
        return;
    }
    std::string payload = statePayload(signJson(*view), localUtcOffset());
    std::string& last = m_lastState[sign];
    if (payload != last && m_connection->publish(topic(level->second, "state"), payload)) {
        last = std::move(payload);
    }
}

void MqttBridge::postLog(std::string line)
{
    std::weak_ptr<int> alive = m_alive;
    (void)m_inbox.post([alive, this, line = std::move(line)] {
        if (alive.lock()) {
            note(line);
        }
    });
}

void MqttBridge::note(const std::string& line)
{
    if (line != m_lastLine) {
        m_lastLine = line;
        m_log(line);
    }
}

std::string MqttBridge::topic(const std::string& level, const char* leaf) const
{
    return m_options.prefix + "/" + level + "/" + leaf;
}

}  // namespace orlavo::tools
