#pragma once
// Reassembles what a sign receives on one link: whole frames and clock
// packets, back to back with no separators (a serial line) or one per
// datagram (UDP). Malformed input is reported and skipped; the decoder then
// looks for the next frame or packet. Memory is bounded by kMaxFrameBytes.
#include "signfeed/sign_decoder.h"

#include <functional>
#include <string>
#include <string_view>

namespace orlavo::signfeed {

class SignStreamDecoder {
public:
    using CommandHandler = std::function<void(const SignCommand& command)>;
    // A view of a fixed text, so that a flood of stray bytes costs no allocations.
    using ErrorHandler = std::function<void(std::string_view why)>;

    // Longer than any frame the composer builds (its text budget is 1100 characters).
    static constexpr std::size_t kMaxFrameBytes = 16384;

    SignStreamDecoder(CommandHandler onCommand, ErrorHandler onError);

    void feed(std::string_view bytes);
    // Drops a partial frame or packet, as a sign does when a sender goes away.
    void reset();

private:
    enum class Mode { Idle, WholeFrame, Packets };
    enum class Step { More, Completed, Failed };

    // Each returns how many bytes of m_pending it used (0: needs more input).
    std::size_t stepIdle(std::string_view data);
    std::size_t stepWholeFrame(std::string_view data);
    std::size_t stepPacket(std::string_view data);
    Step appendFrameByte(char c);
    void completeFrame();
    void fail(std::string_view why);

    CommandHandler m_onCommand;
    ErrorHandler m_onError;
    Mode m_mode = Mode::Idle;
    std::string m_pending;  // at most one clock packet's worth
    std::string m_frame;
    bool m_inGarbage = false;  // report a run of stray bytes once
};

}  // namespace orlavo::signfeed
