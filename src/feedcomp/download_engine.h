#pragma once
// The download state machine behind RSSComp: one HTTP/1.0 GET at a time on a
// non-blocking connection watched by the event loop. Owned by RSSComp; raises
// the listener's events on the loop's thread. Its parts each keep their own
// state: where a hop goes (planHop), the connection with its TLS and tunnel,
// the time limits, the response reader, the redirect follower and the
// conditional-request cache; the engine moves between them and raises the events.
#include "feedcomp/conditional_cache.h"
#include "feedcomp/download_connection.h"
#include "feedcomp/download_deadlines.h"
#include "feedcomp/hop_target.h"
#include "feedcomp/redirect_follower.h"
#include "feedcomp/response_reader.h"
#include "pellix/rss_comp.h"

#include "platform/connectivity.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pellix {

class RSSComp::Engine {
public:
    enum class State {
        Idle,       // no request since creation
        Running,    // request sent or being sent, body arriving
        Finished,   // ended cleanly: the server closed after the whole body
        Failed,     // error, timeout, limit, short body or closed by the host
    };

    Engine(const RSSCompServices& services, const RSSCompLimits& limits);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void setListener(RSSCompListener* listener) { m_listener = listener; }
    void setPort(std::int32_t port) { m_port = port; }
    void setFollowRedirects(bool on) { m_redirects.setEnabled(on); }
    void setConditional(bool on) { m_cache.setEnabled(on); }
    void setCaFile(std::string path) { m_link.setCaFile(std::move(path)); }
    void setConnectInBackground(bool on) { m_background = on; }
    [[nodiscard]] const std::string& finalUrl() const { return m_url; }
    [[nodiscard]] const std::string& movedUrl() const { return m_redirects.movedUrl(); }
    [[nodiscard]] const std::string& charset() const { return m_reader.header().charset; }
    [[nodiscard]] std::int32_t requestFile(const std::string& url, std::string& retVal);
    void closeComm();

    [[nodiscard]] orlavo::platform::Connectivity& connectivity() const { return m_services.connectivity; }
    [[nodiscard]] const detail::Body& body() const { return m_reader.body(); }
    [[nodiscard]] State state() const { return m_state; }

private:
    // hop: a redirect's next request, whose failure ends the download.
    [[nodiscard]] std::int32_t startRequest(const std::string& url, std::string& retVal, bool hop);
    [[nodiscard]] std::int32_t connectTo(const detail::HopTarget& target, std::string& retVal);
    [[nodiscard]] std::function<void(unsigned)> readinessHandler();
    void beginHop();
    // From OnConnect to the request sent: the part of a request after the connect.
    [[nodiscard]] std::int32_t afterConnect(const detail::HopTarget& target, std::string& retVal);
    // The background connect ended: goes on as RequestFile would have after
    // its connect, and reports a failure as OnFinish with RequestFile's code.
    void connectedInBackground(const detail::HopTarget& target, const std::string& url, bool hop,
                               std::optional<detail::DownloadFault> fault);
    [[nodiscard]] std::int32_t sendRequest(const detail::HopTarget& target, std::string& retVal);
    void resetDownload();
    void onReady(unsigned bits);
    void receiveAll();
    // True when the finished response was a redirect that was followed or
    // that ended the download; false when it is the download's answer.
    [[nodiscard]] bool followRedirect();
    // The finished body goes to the cache as the next request starts, so it
    // moves instead of being copied and the host reads it until then.
    void rememberBody();
    // A 304 carries no body: the kept one stands in, with its validators.
    void restoreRememberedBody();
    void receiveOnce();
    void endOfStream();
    void finish(std::int32_t code, const std::string& text, bool clean);
    void fail(const detail::DownloadFault& fault) { finish(fault.code, fault.text, false); }
    // Closes the connection; raises OnDisconnect when one was open and
    // raiseEvent is set. False when a handler destroyed the control.
    [[nodiscard]] bool disconnect(bool raiseEvent);

    RSSCompServices m_services;
    RSSCompLimits m_limits;
    RSSCompListener* m_listener = nullptr;
    std::optional<std::int32_t> m_port;
    bool m_background = false;  // lookup and connect run from the loop

    detail::DownloadConnection m_link;
    detail::DownloadDeadlines m_deadlines;

    State m_state = State::Idle;
    detail::ResponseReader m_reader;

    detail::ConditionalCache m_cache;

    detail::RedirectFollower m_redirects;
    std::string m_url;  // what the current hop requested

    // Lets a method notice that a handler replaced the request or destroyed
    // the control while an event was being raised.
    std::uint64_t m_generation = 0;
    std::int32_t m_lastResult = 0;
    std::shared_ptr<int> m_lifeToken = std::make_shared<int>(0);
};

}  // namespace pellix
