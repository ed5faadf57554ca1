#pragma once
// The service on an MQTT broker: each sign's state and availability published
// retained, its commands (announce, update now) taken from its topics, and
// its Home Assistant discovery configs. libmosquitto's network thread owns
// the connection (and reconnects with back-off); everything that touches the
// signs runs on the service's loop, reached through the inbox.
#include "mqtt/mqtt_options.h"
#include "mqtt/mqtt_topics.h"
#include "sign_board.h"

#include "platform/loop_inbox.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace orlavo::tools {

class MqttBridge {
public:
    using LogLine = std::function<void(const std::string& line)>;  // runs on the loop

    // Lives on the loop, between the board and the inbox it was given.
    MqttBridge(SignBoard& board, platform::LoopInbox& inbox, LogLine log);
    ~MqttBridge();
    MqttBridge(const MqttBridge&) = delete;
    MqttBridge& operator=(const MqttBridge&) = delete;

    // Checks options, reads the password file and starts connecting in the
    // background: a broker that is away delays nothing. The reason it cannot
    // start otherwise (nothing is left running then).
    [[nodiscard]] std::optional<std::string> start(const MqttOptions& options);
    // Publishes "offline", disconnects and ends the network thread.
    void stop();

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    static void onPublish(mosquitto* client, void* self, int messageId);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);

    [[nodiscard]] std::optional<std::string> planSigns();
    void runNetwork(const BrokerAddress& address);
    [[nodiscard]] bool stopping();
    [[nodiscard]] std::optional<std::string> configure(const MqttOptions& options);
    [[nodiscard]] std::optional<std::string> setCredentials(const MqttOptions& options);
    [[nodiscard]] std::optional<std::string> setTls(const MqttOptions& options);
    void takeCommand(const std::string& topic, std::string payload);
    void runCommand(const CommandTopic& command, const std::string& payload);
    void republishAll();
    void publishState(const std::string& sign);
    int publish(const std::string& topic, const std::string& payload);
    void publishOfflineAndWait();
    // Hands a line to the log on the loop; the same line twice in a row is said once.
    void postLog(std::string line);
    void note(const std::string& line);
    [[nodiscard]] std::string topic(const std::string& level, const char* leaf) const;

    SignBoard& m_board;
    platform::LoopInbox& m_inbox;
    LogLine m_log;
    // Set by start(), then only read (by the network thread too).
    mosquitto* m_client = nullptr;
    MqttOptions m_options;
    std::string m_brokerText;
    std::map<std::string, std::string> m_levelOf;  // sign name -> topic level
    std::map<std::string, std::string> m_signOf;   // topic level -> sign name
    std::thread m_network;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_sessionUp{false};  // connected since the network thread last looked
    // On the loop only.
    std::optional<SignBoard::ListenerId> m_listener;
    std::map<std::string, std::string> m_lastState;  // sign -> the state published last
    std::string m_lastLine;
    // Wakes the network thread's back-off at a stop, and the stop when the
    // last "offline" is acknowledged (so it knows the broker has it).
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_stopping = false;
    int m_ackedId = 0;
    // Tasks posted to the loop check it: they may run after the bridge is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

}  // namespace orlavo::tools
