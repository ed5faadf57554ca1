#include "pellix/rss_comp.h"

#include "feedcomp/download_engine.h"
#include "feedcomp/feed_decoder.h"
#include "feedcomp/file_output.h"
#include "feedcomp/rss_document.h"
#include "platform/connectivity.h"

#include <exception>
#include <limits>
#include <new>

namespace pellix {

namespace {

// No exception leaves the library: a member that fails this way answers
// as the members answer every other failure.
template <typename Call, typename Fallback>
auto guarded(Call call, Fallback fallback) noexcept -> decltype(call())
{
    try {
        return call();
    } catch (const std::exception&) {
        return fallback();
    }
}

ResultCode codeOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::bad_alloc&) {
        return ResultCode::OutOfMemory;
    } catch (...) {
        return ResultCode::StartupFailed;
    }
}


Clock& systemClock()
{
    static SystemClock clock;
    return clock;
}

Connectivity& systemConnectivity()
{
    static SystemConnectivity connectivity;
    return connectivity;
}

}  // namespace

RSSComp::RSSComp(EventLoop& loop, const RSSCompLimits& limits)
    : RSSComp(loop, systemClock(), systemConnectivity(), limits)
{
}

RSSComp::RSSComp(EventLoop& loop, Clock& clock, Connectivity& connectivity, const RSSCompLimits& limits)
    : RSSComp(RSSCompServices{loop, clock, connectivity}, limits)
{
}

RSSComp::RSSComp(const RSSCompServices& services, const RSSCompLimits& limits)
    : m_engine(std::make_unique<Engine>(services, limits))
{
}

RSSComp::~RSSComp() = default;

void RSSComp::setListener(RSSCompListener* listener)
{
    m_engine->setListener(listener);
}

const std::string& RSSComp::UserAgent()
{
    static const std::string kBanner = "pellix/1.05 (Orlavo RSS feed library)";
    return kBanner;
}

void RSSComp::Port(std::int32_t LPort1)
{
    m_engine->setPort(LPort1);
}

bool RSSComp::GoOnline()
{
    // No dial-up on this platform: being online is all there is to check.
    return IsOnline();
}

bool RSSComp::IsOnline() const
{
    return m_engine->connectivity().isOnline();
}

bool RSSComp::IsConnectionProxy() const
{
    return m_engine->connectivity().isConnectionProxy();
}

std::int32_t RSSComp::OpenComm(std::string& sErr)
{
    (void)sErr;
    return toInt(ResultCode::Ok);
}

std::int32_t RSSComp::RequestFile(const std::string& sURLPath, std::string& sRetVal)
{
    try {
        return m_engine->requestFile(sURLPath, sRetVal);
    } catch (const std::exception&) {
        const ResultCode code = codeOf(std::current_exception());
        sRetVal = resultText(code);
        return toInt(code);
    }
}

std::string RSSComp::CurFileString() const
{
    return guarded(
        [this] {
            const auto& body = m_engine->body();
            return body.empty() ? std::string() : detail::decodeFeedText(body.bytes(), m_engine->charset());
        },
        [] { return std::string(); });
}

std::int32_t RSSComp::CurSize() const
{
    const std::int64_t size = m_engine->body().size();
    return static_cast<std::int32_t>(std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max()));
}

std::shared_ptr<RSSFile> RSSComp::GetRSSFile(bool StripTags, std::int32_t& LNumberItems) const
{
    LNumberItems = 0;
    return guarded([&] { return makeRSSFile(StripTags, LNumberItems); },
                   [&] {
                       LNumberItems = 0;
                       return std::shared_ptr<RSSFile>();
                   });
}

std::shared_ptr<RSSFile> RSSComp::makeRSSFile(bool StripTags, std::int32_t& LNumberItems) const
{
    const Engine::State state = m_engine->state();
    if (state == Engine::State::Running || state == Engine::State::Failed) {
        LNumberItems = -1;
        return nullptr;
    }
    if (m_engine->body().empty()) {
        return nullptr;
    }
    // The decoded text becomes the document in place: a large body exists
    // twice at most (its bytes and its parse), never three times.
    auto parsed = detail::parseOwnedDocument(CurFileString(), StripTags, [this] { return CurFileString(); });
    if (parsed.itemCount <= 0 || !parsed.document) {
        return nullptr;
    }
    LNumberItems = parsed.itemCount;
    return parsed.document;
}

std::shared_ptr<RSSFile> RSSComp::GetLocalRSSFile(const std::string& sFilePath, bool StripTags,
                                                  std::int32_t& LNumberItems) const
{
    LNumberItems = 0;
    return guarded(
        [&] {
            const std::string bytes = detail::readLocalFile(sFilePath);
            if (bytes.empty()) {
                return std::shared_ptr<RSSFile>();
            }
            auto parsed = detail::parseDocument(detail::decodeFeedBytes(bytes), StripTags);
            if (parsed.itemCount <= 0 || !parsed.document) {
                return std::shared_ptr<RSSFile>();
            }
            LNumberItems = parsed.itemCount;
            return parsed.document;
        },
        [] { return std::shared_ptr<RSSFile>(); });
}

std::int32_t RSSComp::writeFile(const std::string& sPath, bool IfDelete, bool binary)
{
    try {
        auto outcome = detail::writeBodyFile(sPath, IfDelete, m_engine->body(),
                                             binary ? detail::BodyFormat::Binary : detail::BodyFormat::Text);
        m_lastWriteError = std::move(outcome.error);
        return toInt(outcome.code);
    } catch (const std::exception&) {
        m_lastWriteError.clear();  // no room left to say more
        return toInt(ResultCode::WriteFailed);
    }
}

std::int32_t RSSComp::WriteTextFile(const std::string& sPath, bool IfDelete)
{
    return writeFile(sPath, IfDelete, false);
}

std::int32_t RSSComp::WriteBinaryFile(const std::string& sPath, bool IfDelete)
{
    return writeFile(sPath, IfDelete, true);
}

const std::string& RSSComp::LastWriteError() const
{
    return m_lastWriteError;
}

void RSSComp::CloseComm()
{
    m_engine->closeComm();
}

void RSSComp::FollowRedirects(bool bFollow)
{
    m_engine->setFollowRedirects(bFollow);
}

const std::string& RSSComp::FinalURL() const
{
    return m_engine->finalUrl();
}

const std::string& RSSComp::MovedURL() const
{
    return m_engine->movedUrl();
}

void RSSComp::ConditionalGet(bool bConditional)
{
    m_engine->setConditional(bConditional);
}

void RSSComp::ConnectInBackground(bool bBackground)
{
    m_engine->setConnectInBackground(bBackground);
}

void RSSComp::CAFile(const std::string& sPath)
{
    guarded([&] { m_engine->setCaFile(sPath); }, [] {});
}

std::string RSSComp::CharsetFallback() const
{
    return guarded([this] { return detail::unknownCharset(m_engine->body().bytes(), m_engine->charset()); },
                   [] { return std::string(); });
}

}  // namespace pellix
