#pragma once
// The service on an MQTT broker: each sign's state and availability published
// retained, its commands (announce, update now) taken from its topics, and
// its Home Assistant discovery configs. The connection's network thread talks
// to the broker; everything that touches the signs runs on the service's
// loop, reached through the inbox.
#include "mqtt/mqtt_connection.h"
#include "mqtt/mqtt_options.h"
#include "mqtt/mqtt_topics.h"
#include "sign_board.h"

#include "platform/loop_inbox.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
    [[nodiscard]] std::optional<std::string> planSigns();
    // On the network thread.
    void connected();
    void received(const std::string& topic, std::string_view payload, bool retained);
    // On the loop.
    void takeCommand(const std::string& topic, const std::string& payload);
    void runCommand(const CommandTopic& command, const std::string& payload);
    void republishAll();
    void publishState(const std::string& sign);
    // Hands a line to the log on the loop; the same line twice in a row is said once.
    void postLog(std::string line);
    void note(const std::string& line);
    [[nodiscard]] std::string topic(const std::string& level, const char* leaf) const;

    SignBoard& m_board;
    platform::LoopInbox& m_inbox;
    LogLine m_log;
    // Set by start(), then only read (by the network thread too).
    MqttOptions m_options;
    std::map<std::string, std::string> m_levelOf;  // sign name -> topic level
    std::map<std::string, std::string> m_signOf;   // topic level -> sign name
    std::optional<MqttConnection> m_connection;
    // On the loop only.
    std::optional<SignBoard::ListenerId> m_listener;
    std::map<std::string, std::string> m_lastState;  // sign -> the state published last
    std::string m_lastLine;
    // Tasks posted to the loop check it: they may run after the bridge is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

}  // namespace orlavo::tools
