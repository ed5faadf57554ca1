#include "signfeed/sign_stream_decoder.h"

#include <algorithm>

namespace orlavo::signfeed {

namespace {

constexpr std::string_view kTooLong = "frame longer than 16384 bytes";
static_assert(SignStreamDecoder::kMaxFrameBytes == 16384, "kTooLong names the limit");

}  // namespace

SignStreamDecoder::SignStreamDecoder(CommandHandler onCommand, ErrorHandler onError)
    : m_onCommand(std::move(onCommand)), m_onError(std::move(onError))
{
}

void SignStreamDecoder::reset()
{
    m_mode = Mode::Idle;
    m_pending.clear();
    m_frame.clear();
    m_inGarbage = false;
}

void SignStreamDecoder::feed(std::string_view bytes)
{
    m_pending.append(bytes);
    std::size_t pos = 0;
    while (pos < m_pending.size()) {
        std::string_view data = std::string_view(m_pending).substr(pos);
        std::size_t used = 0;
        const Mode mode = m_mode;
        switch (mode) {
        case Mode::Idle: used = stepIdle(data); break;
        case Mode::WholeFrame: used = stepWholeFrame(data); break;
        case Mode::Packets: used = stepPacket(data); break;
        }
        if (used == 0 && mode == Mode::Packets && m_mode == Mode::Packets) {
            break;  // a partial packet waits for the rest
        }
        pos += used;
    }
    m_pending.erase(0, pos);
}

std::size_t SignStreamDecoder::stepIdle(std::string_view data)
{
    char c = data.front();
    if (c == kClockPacketHead.front()) {
        m_inGarbage = false;
        m_mode = Mode::Packets;
        return 0;
    }
    if (c == kFramePrefix.front()) {
        m_inGarbage = false;
        m_mode = Mode::WholeFrame;
        return 0;
    }
    if (!m_inGarbage) {
        m_inGarbage = true;
        m_onError("stray bytes outside a frame skipped");
    }
    return 1;
}

std::size_t SignStreamDecoder::stepWholeFrame(std::string_view data)
{
    std::size_t used = 0;
    for (char c : data) {
        bool startsAnew = !m_frame.empty() && (c == kClockPacketHead.front() || c == kFramePrefix.front());
        Step step = appendFrameByte(c);
        if (step == Step::Failed && startsAnew) {
            return used;  // look at this byte again as the start of something new
        }
        ++used;
        if (step != Step::More) {
            return used;
        }
    }
    return used;
}

std::size_t SignStreamDecoder::stepPacket(std::string_view data)
{
    if (data.front() != kClockPacketHead.front()) {
        // The packets stopped: whatever comes now is read afresh, so a whole
        // frame after a sender that gave up halfway is not lost with its start.
        if (!m_frame.empty()) {
            fail("frame cut short: its clock packets stopped");
        }
        m_mode = Mode::Idle;
        return 0;
    }
    if (data.size() < kClockPacketLength) {
        return 0;
    }
    std::string_view packet = data.substr(0, kClockPacketLength);
    if (!packet.starts_with(kClockPacketHead) || packet.back() != kClockPacketEnd) {
        fail("malformed clock packet");
        return 1;
    }
    std::string_view piece = packet.substr(kClockPacketHead.size(), kClockPieceLength);
    for (std::size_t i = 0; i < piece.size(); ++i) {
        Step step = appendFrameByte(piece[i]);
        if (step == Step::Failed) {
            return kClockPacketLength;
        }
        if (step == Step::Completed) {
            std::string_view rest = piece.substr(i + 1);
            if (std::any_of(rest.begin(), rest.end(), [](char b) { return b != kClockFill; })) {
                m_onError("bytes other than fill after the end of a frame");
            }
            return kClockPacketLength;
        }
    }
    return kClockPacketLength;
}

SignStreamDecoder::Step SignStreamDecoder::appendFrameByte(char c)
{
    m_frame.push_back(c);
    const std::size_t size = m_frame.size();
    if (size <= kFramePrefix.size()) {
        if (c != kFramePrefix[size - 1]) {
            fail("frame does not start with the command prefix");
            return Step::Failed;
        }
        return Step::More;
    }
    // The last byte is compared first: most bytes end neither mark.
    if (c == kFramePrefix.back() && std::string_view(m_frame).ends_with(kFramePrefix)) {
        // A sender that stopped mid-frame and started over: the new frame
        // counts, the cut one is dropped.
        m_frame.erase(0, size - kFramePrefix.size());
        m_onError("frame cut short: a new frame began");
        return Step::More;
    }
    if (c == kFrameSuffix.back() && size >= kFramePrefix.size() + kFrameSuffix.size() &&
        std::string_view(m_frame).ends_with(kFrameSuffix)) {
        completeFrame();
        return Step::Completed;
    }
    if (size >= kMaxFrameBytes) {
        fail(kTooLong);
        return Step::Failed;
    }
    return Step::More;
}

void SignStreamDecoder::completeFrame()
{
    std::string_view frame(m_frame);
    std::string_view body = frame.substr(kFramePrefix.size(), frame.size() - kFramePrefix.size() - kFrameSuffix.size());
    BodyDecodeResult result = decodeFrameBody(body);
    m_frame.clear();
    m_mode = Mode::Idle;
    if (result.command) {
        m_onCommand(*result.command);
    } else {
        m_onError(result.error);
    }
}

void SignStreamDecoder::fail(std::string_view why)
{
    m_frame.clear();
    m_mode = Mode::Idle;
    m_onError(why);
}

}  // namespace orlavo::signfeed
