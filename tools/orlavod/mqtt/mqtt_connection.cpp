#include "mqtt/mqtt_connection.h"

#include "mqtt/mqtt_topics.h"

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace orlavo::tools {

namespace {

constexpr int kKeepAliveSeconds = 30;
// Back-off between tries: 1 s, doubling up to about a minute.
constexpr int kRetryMaxSeconds = 60;
// How long one turn of the network thread waits for the socket.
constexpr int kTurnMs = 1000;
// A stop waits this long for the broker to take the "offline".
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

MqttConnection::MqttConnection(Events events) : m_events(std::move(events)) {}

MqttConnection::~MqttConnection()
{
    stop();
}

std::optional<std::string> MqttConnection::start(const MqttOptions& options, const std::string& availabilityTopic)
{
    const std::optional<BrokerAddress> address = parseBroker(options.broker, options.tls || !options.caFile.empty());
    if (!address) {
        return "the broker \"" + options.broker + "\" is no HOST or HOST:PORT";
    }
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
    m_broker = options.broker;
    m_availability = availabilityTopic;
    m_client = mosquitto_new(clientIdOf(hostName(), options.prefix).c_str(), true, this);
    if (m_client == nullptr) {
        return std::string("the MQTT client cannot be set up: out of memory");
    }
    if (auto problem = configure(options)) {
        mosquitto_destroy(m_client);
        m_client = nullptr;
        return problem;
    }
    m_network = std::thread([this, address = *address] { run(address); });
    return std::nullopt;
}

std::optional<std::string> MqttConnection::configure(const MqttOptions& options)
{
    mosquitto_connect_callback_set(m_client, &MqttConnection::onConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttConnection::onDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttConnection::onPublish);
    mosquitto_message_callback_set(m_client, &MqttConnection::onMessage);
    mosquitto_threaded_set(m_client, true);  // others publish while the network thread runs
    if (mosquitto_will_set(m_client, m_availability.c_str(), 7, "offline", kQos, true) != MOSQ_ERR_SUCCESS) {
        return "the topic " + m_availability + " cannot carry the last will";
    }
    if (auto problem = setCredentials(options)) {
        return problem;
    }
    return setTls(options);
}

std::optional<std::string> MqttConnection::setCredentials(const MqttOptions& options)
{
    if (options.user.empty()) {
        return std::nullopt;
    }
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
    return std::nullopt;
}

std::optional<std::string> MqttConnection::setTls(const MqttOptions& options)
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

// A thread of its own rather than libmosquitto's: that one ends for good, and
// silently, on a failed TLS handshake. This one retries every failure with
// the back-off, and a stop wakes it at once.
void MqttConnection::run(const BrokerAddress& address)
{
    // The name lookup and the TCP connect run here, never on the caller's thread.
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
        const bool wasUp = m_sessionUp.exchange(false);
        if (wasUp) {
            failures = 0;
        }
        reportFailure(code, error, wasUp);
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

void MqttConnection::reportFailure(int code, int error, bool wasUp)
{
    if (wasUp) {
        m_events.log("MQTT: connection to " + m_broker + " lost (" + failureText(code, error) + "); reconnecting");
    } else if (code != MOSQ_ERR_CONN_REFUSED) {  // the connect callback said why
        m_events.log("MQTT: cannot reach the broker " + m_broker + " (" + failureText(code, error) + "); trying again");
    }
}

bool MqttConnection::stopping()
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

bool MqttConnection::publish(const std::string& topic, const std::string& payload)
{
    return m_connected && payload.size() <= INT_MAX &&
           mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), kQos,
                             true) == MOSQ_ERR_SUCCESS;
}

void MqttConnection::subscribe(const std::string& filter)
{
    mosquitto_subscribe(m_client, nullptr, filter.c_str(), kQos);
}

void MqttConnection::stop()
{
    if (m_client == nullptr) {
        return;
    }
    sayOfflineAndWait();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    mosquitto_disconnect(m_client);
    m_signal.notify_all();
    m_network.join();
    mosquitto_destroy(m_client);
    m_client = nullptr;
    m_connected = false;
}

void MqttConnection::sayOfflineAndWait()
{
    int messageId = 0;
    if (!m_connected ||
        mosquitto_publish(m_client, &messageId, m_availability.c_str(), 7, "offline", kQos, true) != MOSQ_ERR_SUCCESS) {
        return;
    }
    // QoS 1 acknowledgements come in order: this one, sent last, covers what went before.
    std::unique_lock lock(m_mutex);
    m_signal.wait_for(lock, kOfflineWait, [&] { return m_ackedId == messageId || !m_connected; });
}

void MqttConnection::onConnect(mosquitto* client, void* self, int code)
{
    auto& connection = *static_cast<MqttConnection*>(self);
    if (code != 0) {
        connection.m_events.log("MQTT: " + refusalText(code));
        return;
    }
    mosquitto_publish(client, nullptr, connection.m_availability.c_str(), 6, "online", kQos, true);
    connection.m_connected = true;
    connection.m_sessionUp = true;
    connection.m_events.log("MQTT: connected to " + connection.m_broker);
    connection.m_events.connected();
}

void MqttConnection::onDisconnect(mosquitto*, void* self, int)
{
    // The network thread says why, once it sees the loop's code.
    auto& connection = *static_cast<MqttConnection*>(self);
    connection.m_connected = false;
    {
        std::lock_guard lock(connection.m_mutex);
    }
    connection.m_signal.notify_all();
}

void MqttConnection::onPublish(mosquitto*, void* self, int messageId)
{
    auto& connection = *static_cast<MqttConnection*>(self);
    {
        std::lock_guard lock(connection.m_mutex);
        connection.m_ackedId = messageId;
    }
    connection.m_signal.notify_all();
}

void MqttConnection::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto& connection = *static_cast<MqttConnection*>(self);
    const std::string topic = message->topic != nullptr ? message->topic : "";
    const auto length = static_cast<std::size_t>(message->payloadlen > 0 ? message->payloadlen : 0);
    connection.m_events.message(topic, std::string_view(static_cast<const char*>(message->payload), length),
                                message->retain);
}

}  // namespace orlavo::tools
