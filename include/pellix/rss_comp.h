#pragma once
/// @file
/// pellix::RSSComp, the feed download control, and what it runs on.
#include <cstdint>
#include <memory>
#include <string>

#include "pellix/clock.h"
#include "pellix/connectivity.h"
#include "pellix/event_loop.h"
#include "pellix/export.h"
#include "pellix/net.h"
#include "pellix/result_code.h"

namespace pellix {

class RSSFile;

/// Events of the control. The host implements this and keeps it alive while
/// attached. A handler may call RequestFile or destroy the control.
class PELLIX_API RSSCompListener {
public:
    /// The TCP connection stands; sURL is the host name of the request.
    virtual void OnConnect(const std::string& sURL) = 0;
    /// The download ended: the HTTP status (200 on success) and its text, or
    /// a negative ResultCode: -1 with the socket error number in decimal or a
    /// sentence naming the timeout or the early close; -2 and -3 for limits;
    /// -4 for a failed TLS handshake; -5 for a redirect not followed.
    virtual void OnFinish(std::int32_t LErrCode, const std::string& sErrStr) = 0;
    /// The control closed the connection.
    virtual void OnDisconnect() = 0;

protected:
    ~RSSCompListener() = default;
};

/// Bounds on one download; the defaults suit feeds.
struct RSSCompLimits {
    std::int64_t connectTimeoutMs = 10'000;  ///< name lookup, and then the connect
    std::int64_t idleTimeoutMs = 30'000;     ///< longest silence while receiving
    std::int64_t totalTimeoutMs = 300'000;   ///< whole download, so a trickle cannot hold it open
    std::int64_t maxBodyBytes = 64LL * 1024 * 1024;  ///< longer bodies end with BodyTooLarge (-2)
    std::int64_t maxHeaderBytes = 64LL * 1024;       ///< longer headers end with HeaderTooLarge (-3)
    std::int64_t handshakeTimeoutMs = 10'000;  ///< https: from the connect to a finished TLS handshake
};

/// What the control runs on. The loop, clock and connectivity are required;
/// resolver and connector default to the system's when left null. All must
/// outlive the control.
struct RSSCompServices {
    EventLoop& loop;                  ///< where the response is received
    Clock& clock;                     ///< the time of the timeouts
    Connectivity& connectivity;       ///< IsOnline, IsConnectionProxy and the proxy
    Resolver* resolver = nullptr;     ///< name lookup; null: SystemResolver
    TcpConnector* connector = nullptr;  ///< TCP connect; null: PosixTcpConnector
};

/// The feed download control. A host owns one, calls its members on the
/// thread that runs the event loop it was given, and hears how each download
/// went through an RSSCompListener on that same thread.
///
/// RequestFile resolves, connects, raises OnConnect and sends before it
/// returns (unless ConnectInBackground is on); the response is received from
/// the loop. Every download ends with
/// OnDisconnect and then OnFinish (unless a newer RequestFile or CloseComm
/// ended it first). Name lookup, connect and silence from the server are all
/// bounded by RSSCompLimits, so the host's thread never waits unbounded.
/// An https:// URL connects the same way; its TLS handshake then runs from the
/// loop, and the request goes out once the server's certificate checked out.
///
/// No member throws: failures are result codes, empty results and OnFinish
/// values (only the constructors may throw std::bad_alloc).
class PELLIX_API RSSComp {
public:
    /// On the system's clock and connectivity; loop must outlive the control.
    explicit RSSComp(EventLoop& loop, const RSSCompLimits& limits = {});
    /// On the given loop, clock and connectivity, which must outlive the control.
    RSSComp(EventLoop& loop, Clock& clock, Connectivity& connectivity, const RSSCompLimits& limits = {});
    /// On the given services, which must outlive the control.
    explicit RSSComp(const RSSCompServices& services, const RSSCompLimits& limits = {});
    /// Closes any connection quietly: no event is raised from here.
    ~RSSComp();
    RSSComp(const RSSComp&) = delete;
    RSSComp& operator=(const RSSComp&) = delete;

    /// nullptr detaches. The listener is not owned.
    void setListener(RSSCompListener* listener);
    /// The "User-Agent" banner sent with every request.
    [[nodiscard]] static const std::string& UserAgent();

    /// Server port for the following requests; it wins over a port in the URL.
    /// Checked when a request starts: outside 1-65535 gives BadUrl (114).
    void Port(std::int32_t LPort1);
    /// There is no dial-up to start: true when IsOnline.
    [[nodiscard]] bool GoOnline();
    /// A network interface other than loopback is up.
    [[nodiscard]] bool IsOnline() const;
    /// A proxy is configured.
    [[nodiscard]] bool IsConnectionProxy() const;
    /// Kept for hosts that call it first; nothing needs starting. Returns 0.
    [[nodiscard]] std::int32_t OpenComm(std::string& sErr);
    /// 0 when the request went out; otherwise a ResultCode with its text in
    /// sRetVal. A running download is closed first (OnDisconnect for it).
    [[nodiscard]] std::int32_t RequestFile(const std::string& sURLPath, std::string& sRetVal);
    /// The body decoded to UTF-8 with every bare LF turned into CR LF.
    [[nodiscard]] std::string CurFileString() const;
    /// The character set that the body's XML declaration or Content-Type named
    /// but the converter does not know, so the body reads as UTF-8 with each
    /// invalid byte taken as windows-1252; empty when the name was known or
    /// none was given. Shortened and made printable, for a log line.
    [[nodiscard]] std::string CharsetFallback() const;
    /// Body bytes received so far for the current request, header excluded.
    [[nodiscard]] std::int32_t CurSize() const;
    /// A new document parsed from the body, or null. LNumberItems: the item
    /// count when a document is returned; 0 when there is no body or no item;
    /// -1 when the download is still running or did not finish cleanly (a
    /// half-received feed never yields a document).
    [[nodiscard]] std::shared_ptr<RSSFile> GetRSSFile(bool StripTags, std::int32_t& LNumberItems) const;
    /// A new document parsed from a local file (its bytes as stored), or null
    /// with LNumberItems 0 when the file is missing, unreadable, larger than
    /// 64 MiB or holds no item. ParseFeedFile says why.
    [[nodiscard]] std::shared_ptr<RSSFile> GetLocalRSSFile(const std::string& sFilePath, bool StripTags,
                                                           std::int32_t& LNumberItems) const;
    /// 0 written, 1 exists and IfDelete false, 2 nothing to write (an existing
    /// file is left alone), 3 the write failed (the old file is unchanged).
    [[nodiscard]] std::int32_t WriteTextFile(const std::string& sPath, bool IfDelete);
    /// WriteTextFile with the bytes exactly as received.
    [[nodiscard]] std::int32_t WriteBinaryFile(const std::string& sPath, bool IfDelete);
    /// Why the last WriteTextFile/WriteBinaryFile returned 3.
    [[nodiscard]] const std::string& LastWriteError() const;
    /// Closes a running download (OnDisconnect, no OnFinish).
    void CloseComm();

    /// Off by default: a 3xx ends the download as it always did. On: 301, 302,
    /// 303, 307 and 308 are followed up to 5 hops (http to https allowed, https
    /// to http refused); each hop raises OnConnect and OnDisconnect, and the
    /// final OnFinish text starts with every hop's reason and Location line,
    /// each followed by "; ". A hop that cannot be followed ends with
    /// RedirectFailed (-5).
    void FollowRedirects(bool bFollow);
    /// The URL the current download last requested (the redirect target).
    [[nodiscard]] const std::string& FinalURL() const;
    /// The new address when every hop of the download was permanent (301,
    /// 308), else empty.
    [[nodiscard]] const std::string& MovedURL() const;
    /// A CA file trusted for https:// next to the system's store; empty (the
    /// default) uses the environment variable ORLAVO_CA_FILE when it is set.
    void CAFile(const std::string& sPath);
    /// Off by default: every request is the plain four lines. On: a 2xx body
    /// that came with Last-Modified or ETag is remembered for its URL (in
    /// memory, 16 MiB in all, oldest dropped first); the next request for that
    /// URL sends If-Modified-Since / If-None-Match, and a 304 ends with the
    /// remembered body in place (CurSize, GetRSSFile) and OnFinish 304.
    void ConditionalGet(bool bConditional);
    /// Off by default: RequestFile looks up the name and connects before it
    /// returns, and the loop waits meanwhile. On, for a host whose loop serves
    /// other work (several controls, timers): RequestFile returns 0 once the
    /// lookup has started; the lookup and the connect run while the loop goes
    /// on, and OnConnect and everything after it come from the loop. A lookup
    /// or connect that fails then ends with OnFinish carrying the code and text
    /// RequestFile would have returned, with no OnConnect before it; a request
    /// that connected but could not be sent ends with OnDisconnect and OnFinish
    /// 99. CloseComm, a newer RequestFile or the destructor drop a lookup or
    /// connect under way without an event. The system's resolver and connector
    /// work in the background; a host's own are called from the loop, as given.
    void ConnectInBackground(bool bBackground);

private:
    [[nodiscard]] std::shared_ptr<RSSFile> makeRSSFile(bool StripTags, std::int32_t& LNumberItems) const;
    [[nodiscard]] std::int32_t writeFile(const std::string& sPath, bool IfDelete, bool binary);

    class Engine;
    std::unique_ptr<Engine> m_engine;
    std::string m_lastWriteError;
};

}  // namespace pellix
