#include "feedcomp/response_reader.h"

#include "pellix/result_code.h"

#include <algorithm>
#include <utility>

namespace pellix::detail {

namespace {

DownloadFault outOfMemory(std::size_t bytes)
{
    return {toInt(ResultCode::BodyTooLarge),
            "The response body does not fit in memory: " + std::to_string(bytes) + " bytes could not be reserved."};
}

}  // namespace

ResponseReader::ResponseReader(std::int64_t maxHeaderBytes, std::int64_t maxBodyBytes)
    : m_maxHeaderBytes(maxHeaderBytes),
      m_maxBodyBytes(maxBodyBytes),
      m_buffer(std::make_unique<std::array<char, kReceiveBytes>>())
{
}

void ResponseReader::reset()
{
    m_awaitingHeader = true;
    m_headerBytes.clear();
    m_header = {};
    m_body.clear();
}

// Body bytes are received straight into the body's free end; only the
// header, which is parsed whole, goes through the receive buffer.
std::span<char> ResponseReader::room()
{
    return m_awaitingHeader ? std::span<char>(*m_buffer) : m_body.tail(kReceiveBytes);
}

DownloadFault ResponseReader::roomFault() const
{
    return outOfMemory(static_cast<std::size_t>(m_body.size()) + kReceiveBytes);
}

std::optional<DownloadFault> ResponseReader::take(std::size_t count)
{
    if (m_awaitingHeader) {
        return takeHeaderBytes(std::string_view(m_buffer->data(), count));
    }
    if (auto fault = checkBodyFits(count)) {
        return fault;
    }
    m_body.commit(count);
    return std::nullopt;
}

std::optional<DownloadFault> ResponseReader::takeHeaderBytes(std::string_view data)
{
    const std::size_t scanFrom = m_headerBytes.size() >= 2 ? m_headerBytes.size() - 2 : 0;
    m_headerBytes.append(data);
    const HeaderStart start = classifyResponseStart(m_headerBytes);
    if (start == HeaderStart::TooShort) {
        return std::nullopt;
    }
    if (start == HeaderStart::NotHeader) {
        m_awaitingHeader = false;
        return addBody(std::exchange(m_headerBytes, {}));
    }
    const std::size_t end = findHeaderEnd(m_headerBytes, scanFrom);
    const auto limit = static_cast<std::size_t>(std::max<std::int64_t>(m_maxHeaderBytes, 0));
    if ((end == std::string::npos && m_headerBytes.size() > limit) || (end != std::string::npos && end > limit)) {
        return DownloadFault{toInt(ResultCode::HeaderTooLarge),
                         resultText(ResultCode::HeaderTooLarge) + " (" + std::to_string(limit) + " bytes)"};
    }
    if (end == std::string::npos) {
        return std::nullopt;
    }
    m_header = parseHeader(std::string_view(m_headerBytes).substr(0, end));
    m_awaitingHeader = false;
    if (const std::int64_t announced = std::min(m_header.contentLength.value_or(0), m_maxBodyBytes); announced > 0) {
        // One receive more than announced, so the receive that finds the end has room.
        if (const auto room = static_cast<std::size_t>(announced) + kReceiveBytes; !m_body.reserve(room)) {
            return outOfMemory(room);
        }
    }
    std::string rest = m_headerBytes.substr(end);
    m_headerBytes.clear();
    m_headerBytes.shrink_to_fit();
    if (!rest.empty()) {
        return addBody(rest);
    }
    return std::nullopt;
}

std::optional<DownloadFault> ResponseReader::addBody(std::string_view chunk)
{
    if (auto fault = checkBodyFits(chunk.size())) {
        return fault;
    }
    if (!m_body.append(chunk)) {
        return outOfMemory(static_cast<std::size_t>(m_body.size()) + chunk.size());
    }
    return std::nullopt;
}

std::optional<DownloadFault> ResponseReader::checkBodyFits(std::size_t more) const
{
    if (m_body.size() + static_cast<std::int64_t>(more) <= m_maxBodyBytes) {
        return std::nullopt;
    }
    return DownloadFault{toInt(ResultCode::BodyTooLarge),
                     resultText(ResultCode::BodyTooLarge) + " (" + std::to_string(m_maxBodyBytes) + " bytes)"};
}

std::optional<DownloadFault> ResponseReader::endOfStream()
{
    if (m_awaitingHeader && !m_headerBytes.empty()) {
        // Closed inside what began like a header: keep it all as the body.
        m_awaitingHeader = false;
        if (auto fault = addBody(std::exchange(m_headerBytes, {}))) {
            return fault;
        }
    }
    if (m_header.contentLength && m_body.size() < *m_header.contentLength) {
        return DownloadFault{toInt(ResultCode::ReceiveFailed), "The connection closed after " +
                                                               std::to_string(m_body.size()) + " of " +
                                                               std::to_string(*m_header.contentLength) +
                                                               " body bytes."};
    }
    return std::nullopt;
}

}  // namespace pellix::detail
