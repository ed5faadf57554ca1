#pragma once
// Reads one response as its bytes arrive: the header, collected whole however
// the server split it, then the body, received straight into its buffer. It
// owns the size limits; a breach comes back as the fault that ends the download.
#include "feedcomp/body.h"
#include "feedcomp/download_fault.h"
#include "feedcomp/http_header.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pellix::detail {

// One receive of at most this many bytes per readable notification, so a
// fast server cannot keep the loop from its other events.
inline constexpr std::size_t kReceiveBytes = 8192;

class ResponseReader {
public:
    ResponseReader(std::int64_t maxHeaderBytes, std::int64_t maxBodyBytes);

    // A new response: no header, an empty body.
    void reset();
    // Where the next receive writes; empty when the body's memory cannot be
    // had, and roomFault() then tells why.
    [[nodiscard]] std::span<char> room();
    [[nodiscard]] DownloadFault roomFault() const;
    // `count` bytes were received into room().
    [[nodiscard]] std::optional<DownloadFault> take(std::size_t count);
    // The server closed: what began like a header is the body, and a body
    // shorter than announced is a fault.
    [[nodiscard]] std::optional<DownloadFault> endOfStream();

    // Status 0 and empty fields until the header is complete.
    [[nodiscard]] const ResponseHeader& header() const { return m_header; }
    [[nodiscard]] ResponseHeader& header() { return m_header; }
    [[nodiscard]] const Body& body() const { return m_body; }
    [[nodiscard]] Body& body() { return m_body; }

private:
    [[nodiscard]] std::optional<DownloadFault> takeHeaderBytes(std::string_view data);
    [[nodiscard]] std::optional<DownloadFault> addBody(std::string_view chunk);
    // A fault when `more` bytes would pass the body limit.
    [[nodiscard]] std::optional<DownloadFault> checkBodyFits(std::size_t more) const;

    std::int64_t m_maxHeaderBytes;
    std::int64_t m_maxBodyBytes;
    bool m_awaitingHeader = true;
    std::string m_headerBytes;
    ResponseHeader m_header;
    Body m_body;
    std::unique_ptr<std::array<char, kReceiveBytes>> m_buffer;
};

}  // namespace pellix::detail
