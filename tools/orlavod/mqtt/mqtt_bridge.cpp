#include "mqtt/mqtt_bridge.h"

#include "mqtt/mqtt_discovery.h"
#include "mqtt/mqtt_payloads.h"

#include "orlavo_version.h"
#include "platform/code_page.h"

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>

namespace orlavo::tools {

namespace {

constexpr int kKeepAliveSeconds = 30;
// Back-off between tries: 1 s, doubling up to about a minute.
constexpr int kRetryMaxSeconds = 60;
// How long one turn of the network thread waits for the socket.
constexpr int kTurnMs = 1000;
// A clean stop waits this long for the broker to take the "offline".
constexpr auto kOfflineWait = std::chrono::seconds(2);
constexpr int kQos = 1;

std::string hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

// A topic from the broker as one short log line: whoever publishes chooses it.
std::string shown(const std::string& topic)
{
    return platform::escapeControls(topic.size() > 120 ? topic.substr(0, 120) + "..." : topic);
}

// Why a connect failed, from libmosquitto's code and the errno it left.
std::string failureText(int code, int error)
{
    if (code == MOSQ_ERR_ERRNO) {
        return std::strerror(error);
    }
    if (code == MOSQ_ERR_TLS) {
        return "TLS failed: the broker's certificate is not trusted or does not name the broker";
    }
    return mosquitto_strerror(code);
}

std::string refusalText(int code)
{
    // MQTT 3.1.1's "bad user name or password" and "not authorised".
    if (code == 4 || code == 5) {
        return std::string("the broker refused the user name or password (") + mosquitto_connack_string(code) +
               "); check the MQTT user and password file";
    }
    return std::string("the broker refused the connection: ") + mosquitto_connack_string(code);
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
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
    m_options = options;
    m_client = mosquitto_new(clientIdOf(hostName(), options.prefix).c_str(), true, this);
    if (m_client == nullptr) {
        return std::string("the MQTT client cannot be set up: out of memory");
    }
    if (auto problem = configure(options)) {
        mosquitto_destroy(m_client);
        m_client = nullptr;
        return problem;
    }
    m_listener = m_board.listen([this](const std::string& sign) { publishState(sign); });
    const BrokerAddress address = *parseBroker(options.broker, options.tls || !options.caFile.empty());
    m_network = std::thread([this, address] { runNetwork(address); });
    return std::nullopt;
}

// The bridge's own network thread rather than libmosquitto's: that one ends
// for good, and silently, on a failed TLS handshake. This one retries every
// failure with the back-off, and a stop wakes it at once.
void MqttBridge::runNetwork(const BrokerAddress& address)
{
    // The name lookup and the TCP connect run here, never on the loop.
    int code = mosquitto_connect_async(m_client, address.host.c_str(), address.port, kKeepAliveSeconds);
    int error = errno;  // what a failure with MOSQ_ERR_ERRNO means
    int failures = 0;
    int turnsAfterStop = 0;
    while (true) {
        // At a stop, a turn or two more send the DISCONNECT; a connect that
        // hangs does not hold the stop longer.
        const bool stop = stopping();
        if (code == MOSQ_ERR_SUCCESS && (!stop || turnsAfterStop++ < 2)) {
            code = mosquitto_loop(m_client, kTurnMs, 1);
            error = errno;
            continue;
        }
        if (stop) {
            break;
        }
        if (m_sessionUp.exchange(false)) {
            failures = 0;
            postLog("MQTT: connection to " + m_brokerText + " lost (" + failureText(code, error) + "); reconnecting");
        } else if (code != MOSQ_ERR_CONN_REFUSED) {  // the connect callback said why
            postLog("MQTT: cannot reach the broker " + m_brokerText + " (" + failureText(code, error) +
                    "); trying again");
        }
        const int seconds = std::min(kRetryMaxSeconds, 1 << std::min(failures++, 6));
        std::unique_lock lock(m_mutex);
        if (m_signal.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_stopping; })) {
            break;
        }
        lock.unlock();
        code = mosquitto_reconnect_async(m_client);
        error = errno;
    }
}

bool MqttBridge::stopping()
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
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

std::optional<std::string> MqttBridge::configure(const MqttOptions& options)
{
    m_brokerText = options.broker;
    const std::string will = options.prefix + "/availability";
    mosquitto_connect_callback_set(m_client, &MqttBridge::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttBridge::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttBridge::onPublish);
    mosquitto_message_callback_set(m_client, &MqttBridge::onMessage);
    mosquitto_threaded_set(m_client, true);  // the loop publishes while the network thread runs
    if (mosquitto_will_set(m_client, will.c_str(), 7, "offline", kQos, true) != MOSQ_ERR_SUCCESS) {
        return "the topic " + will + " cannot carry the last will";
    }
    if (auto problem = setCredentials(options)) {
        return problem;
    }
    return setTls(options);
}

std::optional<std::string> MqttBridge::setCredentials(const MqttOptions& options)
{
    if (!options.user.empty()) {
        std::optional<std::string> password;
        if (!options.passwordFile.empty()) {
            PasswordRead read = readPasswordFile(options.passwordFile);
            if (!read.password) {
                return read.error;
            }
            password = std::move(read.password);
        }
        if (mosquitto_username_pw_set(m_client, options.user.c_str(), password ? password->c_str() : nullptr) !=
            MOSQ_ERR_SUCCESS) {
            return std::string("the MQTT user name or password is not valid UTF-8");
        }
    }
    return std::nullopt;
}

std::optional<std::string> MqttBridge::setTls(const MqttOptions& options)
{
    if (!options.caFile.empty()) {
        if (::access(options.caFile.c_str(), R_OK) != 0) {
            return "the CA file " + options.caFile + " cannot be read: " + std::strerror(errno);
        }
        if (const int code = mosquitto_tls_set(m_client, options.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
            code != MOSQ_ERR_SUCCESS) {
            return "the CA file " + options.caFile + " cannot be used: " + mosquitto_strerror(code);
        }
    } else if (options.tls) {
        if (const int code = mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1); code != MOSQ_ERR_SUCCESS) {
            return std::string("TLS cannot be set up: ") + mosquitto_strerror(code);
        }
    }
    return std::nullopt;
}

void MqttBridge::stop()
{
    if (m_client == nullptr) {
        return;
    }
    if (m_listener) {
        m_board.unlisten(*m_listener);
        m_listener.reset();
    }
    publishOfflineAndWait();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    mosquitto_disconnect(m_client);
    m_signal.notify_all();
    if (m_network.joinable()) {
        m_network.join();
    }
    mosquitto_destroy(m_client);
    m_client = nullptr;
    m_connected = false;
}

void MqttBridge::publishOfflineAndWait()
{
    if (!m_connected) {
        return;
    }
    for (const auto& [sign, level] : m_levelOf) {
        publish(topic(level, "availability"), "offline");
    }
    // QoS 1 acknowledgements come in order: the bridge's own, sent last, covers all.
    const int last = publish(m_options.prefix + "/availability", "offline");
    std::unique_lock lock(m_mutex);
    m_signal.wait_for(lock, kOfflineWait, [&] { return last == 0 || m_ackedId == last || !m_connected; });
}

void MqttBridge::onConnect(mosquitto* client, void* self, int code)
{
    auto& bridge = *static_cast<MqttBridge*>(self);
    if (code != 0) {
        bridge.postLog("MQTT: " + refusalText(code));
        return;
    }
    const std::string commands[] = {bridge.m_options.prefix + "/+/announce", bridge.m_options.prefix + "/+/update"};
    for (const std::string& filter : commands) {
        mosquitto_subscribe(client, nullptr, filter.c_str(), kQos);
    }
    mosquitto_publish(client, nullptr, (bridge.m_options.prefix + "/availability").c_str(), 6, "online", kQos, true);
    bridge.m_connected = true;
    bridge.m_sessionUp = true;
    bridge.postLog("MQTT: connected to " + bridge.m_brokerText);
    std::weak_ptr<int> alive = bridge.m_alive;
    (void)bridge.m_inbox.post([alive, &bridge] {
        if (alive.lock()) {
            bridge.republishAll();
        }
    });
}

void MqttBridge::onDisconnect(mosquitto*, void* self, int)
{
    // The network thread says why, once it sees the loop's code.
    auto& bridge = *static_cast<MqttBridge*>(self);
    bridge.m_connected = false;
    {
        std::lock_guard lock(bridge.m_mutex);
    }
    bridge.m_signal.notify_all();
}

void MqttBridge::onPublish(mosquitto*, void* self, int messageId)
{
    auto& bridge = *static_cast<MqttBridge*>(self);
    {
        std::lock_guard lock(bridge.m_mutex);
        bridge.m_ackedId = messageId;
    }
    bridge.m_signal.notify_all();
}

void MqttBridge::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto& bridge = *static_cast<MqttBridge*>(self);
    const std::string topic = message->topic != nullptr ? message->topic : "";
    const auto length = static_cast<std::size_t>(message->payloadlen > 0 ? message->payloadlen : 0);
    if (length > kMaxCommandPayloadBytes) {
        bridge.postLog("MQTT: a message of " + std::to_string(length) + " bytes on " + shown(topic) +
                       " dropped: a command takes at most 8 KiB");
        return;
    }
    if (message->retain) {
        // A kept command would run again at every connect.
        bridge.postLog("MQTT: a retained message on " + shown(topic) +
                       " ignored: commands must not be retained (an empty retained message clears it)");
        return;
    }
    std::string payload(static_cast<const char*>(message->payload), length);
    std::weak_ptr<int> alive = bridge.m_alive;
    (void)bridge.m_inbox.post([alive, &bridge, topic, payload = std::move(payload)]() mutable {
        if (alive.lock()) {
            bridge.takeCommand(topic, std::move(payload));
        }
    });
}

void MqttBridge::takeCommand(const std::string& topicText, std::string payload)
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
    if (!m_connected) {
        return;
    }
    m_lastState.clear();
    const DiscoverySource source{m_options.prefix, m_options.discoveryPrefix, ORLAVO_VERSION};
    for (const auto& [sign, level] : m_levelOf) {
        if (m_options.discovery) {
            for (const DiscoveryMessage& message : discoveryMessages(source, SignTopic{sign, level})) {
                publish(message.topic, message.payload);
            }
        }
        publish(topic(level, "availability"), "online");
        publishState(sign);
    }
}

void MqttBridge::publishState(const std::string& sign)
{
    const auto level = m_levelOf.find(sign);
    if (!m_connected || level == m_levelOf.end()) {
        return;  // the next connect publishes every sign's state
    }
    const std::optional<SignView> view = m_board.sign(sign);
    if (!view) {
        return;
    }
    std::string payload = statePayload(signJson(*view), localUtcOffset());
    std::string& last = m_lastState[sign];
    if (payload != last) {
        publish(topic(level->second, "state"), payload);
        last = std::move(payload);
    }
}

int MqttBridge::publish(const std::string& topicText, const std::string& payload)
{
    int messageId = 0;
    if (payload.size() > INT_MAX ||
        mosquitto_publish(m_client, &messageId, topicText.c_str(), static_cast<int>(payload.size()), payload.data(),
                          kQos, true) != MOSQ_ERR_SUCCESS) {
        return 0;  // the next connect publishes it again
    }
    return messageId;
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
