// The engine's state machine: a request plans its hop, connects and sends;
// readiness from the loop feeds the response reader; the end of the stream
// either follows a redirect or finishes with the events.
#include "feedcomp/download_engine.h"

#include "platform/code_page.h"

#include <new>
#include <span>
#include <utility>

namespace pellix {

namespace {

std::int32_t refuse(ResultCode code, const std::string& detail, std::string& retVal)
{
    retVal = detail::refusalText(code, detail);
    return toInt(code);
}

}  // namespace

RSSComp::Engine::Engine(const RSSCompServices& services, const RSSCompLimits& limits)
    : m_services(services),
      m_limits(limits),
      m_link(services.loop, services.resolver, services.connector, limits.connectTimeoutMs, limits.maxHeaderBytes),
      m_deadlines(services.loop, services.clock, m_limits, m_link, [this](const auto& fault) { fail(fault); }),
      m_reader(limits.maxHeaderBytes, limits.maxBodyBytes)
{
}

RSSComp::Engine::~Engine()
{
    m_listener = nullptr;
    (void)disconnect(false);
}

void RSSComp::Engine::resetDownload()
{
    m_state = State::Idle;
    m_reader.reset();
    m_link.close();
}

std::int32_t RSSComp::Engine::requestFile(const std::string& url, std::string& retVal)
{
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = ++m_generation;
    // The old connection goes first, so its bytes never reach the new body.
    if (m_link.isOpen() && !disconnect(true)) {
        return refuse(ResultCode::ConnectFailed, "the control was released", retVal);
    }
    if (generation != m_generation) {
        return m_lastResult;  // a handler's newer request took over
    }
    rememberBody();
    resetDownload();
    m_redirects.reset();
    const std::int32_t result = startRequest(url, retVal, false);
    if (!alive.expired() && generation == m_generation) {
        m_lastResult = result;
    }
    return result;
}

std::int32_t RSSComp::Engine::startRequest(const std::string& url, std::string& retVal, bool hop)
{
    m_url = url;
    auto planned = detail::planHop(url, m_port, m_services.connectivity);
    if (const auto* refusal = std::get_if<detail::HopRefusal>(&planned)) {
        return refuse(refusal->code, refusal->detail, retVal);
    }
    const auto& target = std::get<detail::HopTarget>(planned);
    if (m_background) {
        m_link.connectInBackground(target, readinessHandler(),
                                   [this, target, url, hop](std::optional<detail::DownloadFault> fault) {
                                       connectedInBackground(target, url, hop, std::move(fault));
                                   });
        return toInt(ResultCode::Ok);
    }
    if (std::int32_t result = connectTo(target, retVal); result != toInt(ResultCode::Ok)) {
        return result;
    }
    return afterConnect(target, retVal);
}

std::int32_t RSSComp::Engine::afterConnect(const detail::HopTarget& target, std::string& retVal)
{
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    if (m_listener != nullptr) {
        m_listener->OnConnect(orlavo::platform::escapeControls(target.host));  // a Location may name any bytes
    }
    if (alive.expired()) {
        retVal = "The control was released before the request was sent.";
        return toInt(ResultCode::SendFailed);
    }
    if (generation != m_generation) {
        return m_lastResult;
    }
    if (!m_link.isOpen()) {
        retVal = "The connection was closed before the request was sent.";
        return toInt(ResultCode::SendFailed);
    }
    return sendRequest(target, retVal);
}

std::function<void(unsigned)> RSSComp::Engine::readinessHandler()
{
    return [this](unsigned bits) {
        // Called from the host's loop, where no exception of ours may arrive.
        try {
            onReady(bits);
        } catch (const std::bad_alloc&) {
            finish(toInt(ResultCode::ReceiveFailed), resultText(ResultCode::OutOfMemory), false);
        }
    };
}

void RSSComp::Engine::beginHop()
{
    m_state = State::Running;
    m_deadlines.startHop(m_redirects.onFirstRequest());
}

std::int32_t RSSComp::Engine::connectTo(const detail::HopTarget& target, std::string& retVal)
{
    if (auto fault = m_link.connect(target, readinessHandler())) {
        retVal = std::move(fault->text);
        return fault->code;
    }
    beginHop();
    return toInt(ResultCode::Ok);
}

void RSSComp::Engine::connectedInBackground(const detail::HopTarget& target, const std::string& url, bool hop,
                                            std::optional<detail::DownloadFault> fault)
{
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    std::int32_t result = 0;
    std::string text;
    // Called from the loop, where no exception of ours may arrive; RequestFile
    // would have answered OutOfMemory.
    try {
        if (fault) {
            result = fault->code;
            text = std::move(fault->text);
        } else {
            beginHop();
            result = afterConnect(target, text);
        }
    } catch (const std::bad_alloc&) {
        result = toInt(ResultCode::OutOfMemory);
        text = resultText(ResultCode::OutOfMemory);
    }
    if (result == toInt(ResultCode::Ok) || alive.expired() || generation != m_generation) {
        return;
    }
    if (hop) {
        finish(toInt(ResultCode::RedirectFailed), m_redirects.hopFailedText(url, text), false);
    } else if (fault) {
        if (m_listener != nullptr) {
            m_listener->OnFinish(result, text);  // no connection stood, as when RequestFile returns the code
        }
    } else if (m_link.isOpen()) {
        finish(result, text, false);  // the request did not go out: the connection ends with events
    }
    // Otherwise a handler closed the connection from OnConnect, and CloseComm raises no OnFinish.
}

std::int32_t RSSComp::Engine::sendRequest(const detail::HopTarget& target, std::string& retVal)
{
    // Through a tunnel the request is the one to the feed's server, so it names the path.
    const bool absolute = target.proxy && !target.secure;
    std::string request = "GET " + (absolute ? target.absoluteUrl : target.path) + " HTTP/1.0\r\n" +
                          "User-Agent: " + RSSComp::UserAgent() + "\r\n" + "Host: " + target.host + "\r\n" +
                          m_cache.requestHeaders(m_url) + "\r\n";
    if (const int error = m_link.send(std::move(request)); error != 0) {
        // The connection stays open: its close still ends the download with events.
        retVal = std::to_string(error);
        return toInt(ResultCode::SendFailed);
    }
    return toInt(ResultCode::Ok);
}

void RSSComp::Engine::closeComm()
{
    (void)disconnect(true);
}

bool RSSComp::Engine::disconnect(bool raiseEvent)
{
    m_deadlines.stop();
    if (m_link.connecting()) {
        m_link.close();  // nothing stood yet: no event, and no outcome follows
        return true;
    }
    if (!m_link.isOpen()) {
        return true;
    }
    m_link.close();
    if (m_state == State::Running) {
        m_state = State::Failed;
    }
    std::weak_ptr<int> alive = m_lifeToken;
    if (raiseEvent && m_listener != nullptr) {
        m_listener->OnDisconnect();
    }
    return !alive.expired();
}

bool RSSComp::Engine::followRedirect()
{
    const detail::ResponseHeader& header = m_reader.header();
    const detail::RedirectStep step = m_redirects.consider(m_url, header.statusCode, header.statusText, header.location);
    if (step.kind == detail::RedirectStep::Kind::Answer) {
        return false;
    }
    if (step.kind == detail::RedirectStep::Kind::Refused) {
        finish(toInt(ResultCode::RedirectFailed), step.text, false);
        return true;
    }
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    if (!disconnect(true) || generation != m_generation) {
        return true;  // a handler released the control or started anew
    }
    m_redirects.enter(step);
    resetDownload();
    std::string text;
    const std::int32_t result = startRequest(step.next, text, true);
    if (!alive.expired() && generation == m_generation && result != toInt(ResultCode::Ok)) {
        finish(toInt(ResultCode::RedirectFailed), m_redirects.hopFailedText(step.next, text), false);
    }
    return true;
}

void RSSComp::Engine::rememberBody()
{
    if (m_state == State::Finished) {
        detail::ResponseHeader& header = m_reader.header();
        m_cache.remember(m_url, header.statusCode,
                         {header.lastModified, header.etag, header.charset, std::move(m_reader.body())});
    }
}

void RSSComp::Engine::restoreRememberedBody()
{
    if (auto kept = m_cache.takeBack(m_url)) {
        detail::ResponseHeader& header = m_reader.header();
        m_reader.body() = std::move(kept->body);
        header.charset = std::move(kept->charset);
        header.lastModified = std::move(kept->lastModified);
        header.etag = std::move(kept->etag);
    }
}

void RSSComp::Engine::onReady(unsigned bits)
{
    const detail::ConnectionStep step = m_link.onReady(bits);
    if (step.active) {
        m_deadlines.touch();
    }
    if (step.fault) {
        fail(*step.fault);
    } else if (step.readable) {
        receiveAll();
    }
}

// A TLS session may hold decrypted bytes that no readiness will announce, so
// it is drained before the loop waits again.
void RSSComp::Engine::receiveAll()
{
    std::weak_ptr<int> alive = m_lifeToken;
    const std::uint64_t generation = m_generation;
    receiveOnce();
    while (!alive.expired() && generation == m_generation && m_link.hasBufferedData()) {
        receiveOnce();
    }
}

void RSSComp::Engine::receiveOnce()
{
    if (!m_link.isOpen()) {
        return;
    }
    std::span<char> room = m_reader.room();
    if (room.empty()) {
        fail(m_reader.roomFault());
        return;
    }
    auto received = m_link.receive(room.data(), room.size());
    if (received.wouldBlock()) {
        return;
    }
    if (received.bytes < 0) {
        finish(toInt(ResultCode::ReceiveFailed), std::to_string(received.error), false);
        return;
    }
    if (received.bytes == 0) {
        endOfStream();
        return;
    }
    m_deadlines.touch();
    if (auto fault = m_reader.take(static_cast<std::size_t>(received.bytes))) {
        fail(*fault);
    }
}

void RSSComp::Engine::endOfStream()
{
    if (auto fault = m_reader.endOfStream()) {
        fail(*fault);
        return;
    }
    if (followRedirect()) {
        return;
    }
    const detail::ResponseHeader& header = m_reader.header();
    if (header.statusCode == 304) {
        restoreRememberedBody();
    }
    finish(header.statusCode, m_redirects.trail() + header.statusText, true);
}

void RSSComp::Engine::finish(std::int32_t code, const std::string& text, bool clean)
{
    const std::uint64_t generation = m_generation;
    // A copy, as text may live in a member that a handler resets; escaped, as
    // status lines, Location values and proxy answers come from the peer.
    const std::string finishText = orlavo::platform::escapeControls(text);
    m_state = clean ? State::Finished : State::Failed;
    if (!disconnect(true)) {
        return;
    }
    if (generation != m_generation || m_listener == nullptr) {
        return;  // a handler started a new request: this one's outcome is moot
    }
    m_listener->OnFinish(code, finishText);
}

}  // namespace pellix
