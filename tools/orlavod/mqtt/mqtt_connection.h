#pragma once
// One connection to an MQTT broker, kept up by a network thread of its own:
// it connects in the background, retries every failure with a doubling
// back-off, says "online" on its availability topic at each connect and
// leaves "offline" there as its last will and at a stop. Owned by the bridge,
// whose events it calls on the network thread.
#include "mqtt/mqtt_options.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace orlavo::tools {

class MqttConnection {
public:
    // Each runs on the network thread.
    struct Events {
        std::function<void()> connected;  // subscribe and publish again here
        std::function<void(const std::string& topic, std::string_view payload, bool retained)> message;
        std::function<void(std::string line)> log;  // connected, lost, refused: once per change
    };

    explicit MqttConnection(Events events);
    ~MqttConnection();
    MqttConnection(const MqttConnection&) = delete;
    MqttConnection& operator=(const MqttConnection&) = delete;

    // Sets the client up (its id, the will on availabilityTopic, the
    // credentials, TLS) and starts connecting; the reason it cannot otherwise.
    [[nodiscard]] std::optional<std::string> start(const MqttOptions& options, const std::string& availabilityTopic);
    // Retained, QoS 1, from any thread; false when not connected (the next
    // connect publishes again) or the broker would not take it.
    bool publish(const std::string& topic, const std::string& payload);
    void subscribe(const std::string& filter);
    [[nodiscard]] bool connected() const { return m_connected; }
    // Says "offline" (and waits a moment for the broker to take it),
    // disconnects and ends the network thread.
    void stop();

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    static void onPublish(mosquitto* client, void* self, int messageId);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);

    [[nodiscard]] std::optional<std::string> configure(const MqttOptions& options);
    [[nodiscard]] std::optional<std::string> setCredentials(const MqttOptions& options);
    [[nodiscard]] std::optional<std::string> setTls(const MqttOptions& options);
    void run(const BrokerAddress& address);
    void reportFailure(int code, int error, bool wasUp);
    [[nodiscard]] bool stopping();
    void sayOfflineAndWait();

    Events m_events;
    mosquitto* m_client = nullptr;  // set by start(), then shared with the network thread
    std::string m_broker;           // as given, for the log
    std::string m_availability;
    std::thread m_network;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_sessionUp{false};  // connected since the network thread last looked
    // Wakes the back-off at a stop, and the stop once the broker acknowledged the "offline".
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_stopping = false;
    int m_ackedId = 0;
};

}  // namespace orlavo::tools
