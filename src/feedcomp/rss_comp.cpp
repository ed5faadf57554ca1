#include "pellix/rss_comp.h"

#include "feedcomp/download_engine.h"
#include "feedcomp/feed_decoder.h"
#include "feedcomp/file_output.h"
#include "feedcomp/rss_document.h"
#include "platform/connectivity.h"

#include <limits>

namespace pellix {

RSSComp::RSSComp(orlavo::platform::EventLoop& loop, orlavo::platform::Clock& clock,
                 orlavo::platform::Connectivity& connectivity, const RSSCompLimits& limits)
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
    return m_engine->requestFile(sURLPath, sRetVal);
}

std::string RSSComp::CurFileString() const
{
    const auto& body = m_engine->body();
    if (body.empty()) {
        return {};
    }
    return detail::decodeFeedText(body.bytes(), m_engine->charset());
}

std::int32_t RSSComp::CurSize() const
{
    const std::int64_t size = m_engine->body().size();
    return static_cast<std::int32_t>(std::min<std::int64_t>(size, std::numeric_limits<std::int32_t>::max()));
}

std::shared_ptr<RSSFile> RSSComp::GetRSSFile(bool StripTags, std::int32_t& LNumberItems) const
{
    LNumberItems = 0;
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
    const std::string bytes = detail::readLocalFile(sFilePath);
    if (bytes.empty()) {
        return nullptr;
    }
    auto parsed = detail::parseDocument(detail::decodeFeedBytes(bytes), StripTags);
    if (parsed.itemCount <= 0 || !parsed.document) {
        return nullptr;
    }
    LNumberItems = parsed.itemCount;
    return parsed.document;
}

std::int32_t RSSComp::WriteTextFile(const std::string& sPath, bool IfDelete)
{
    auto outcome = detail::writeBodyFile(sPath, IfDelete, m_engine->body(), detail::BodyFormat::Text);
    m_lastWriteError = std::move(outcome.error);
    return toInt(outcome.code);
}

std::int32_t RSSComp::WriteBinaryFile(const std::string& sPath, bool IfDelete)
{
    auto outcome = detail::writeBodyFile(sPath, IfDelete, m_engine->body(), detail::BodyFormat::Binary);
    m_lastWriteError = std::move(outcome.error);
    return toInt(outcome.code);
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

void RSSComp::CAFile(const std::string& sPath)
{
    m_engine->setCaFile(sPath);
}

std::string RSSComp::CharsetFallback() const
{
    return detail::unknownCharset(m_engine->body().bytes(), m_engine->charset());
}

}  // namespace pellix
