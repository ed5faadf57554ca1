// Feeds arbitrary bytes to the sign's stream decoder as a serial line or a
// datagram would deliver them, and checks what must hold for any sender:
// the result does not depend on how the bytes were split into reads, reset()
// forgets everything, and nothing decoded is larger than the bytes allow.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "signfeed/sign_decoder.h"
#include "signfeed/sign_stream_decoder.h"

#include "fuzz_check.h"

namespace {

using orlavo::fuzz::check;

using namespace orlavo::signfeed;

// The smallest frame a sign acts on: prefix, "WN", suffix.
constexpr std::size_t kSmallestFrame = kResetFrame.size();
// windows-1252 to UTF-8 takes at most three bytes per byte (the euro sign).
constexpr std::size_t kMaxUtf8PerByte = 3;

// What a sign emulator would print and complain about, in order, each kind
// in one text of lines: a flood of stray bytes then costs the harness no
// allocation per complaint, and runs stay fast enough for long campaigns.
struct Outcome {
    std::string lines;
    std::string errors;
    std::size_t commands = 0;
    std::size_t textBytes = 0;

    bool operator==(const Outcome&) const = default;
};

class Run {
public:
    Run()
        : m_decoder([this](const SignCommand& c) { take(c); },
                    [this](std::string_view why) { m_outcome.errors.append(why).push_back('\n'); })
    {
    }

    // Pieces cycle through the given sizes; 0 in sizes means all at once.
    // The outcome's buffers are kept from run to run, so that each input costs few allocations.
    const Outcome& feed(std::string_view bytes, const std::vector<std::size_t>& sizes)
    {
        m_outcome.lines.clear();
        m_outcome.errors.clear();
        m_outcome.commands = 0;
        m_outcome.textBytes = 0;
        for (std::size_t i = 0; !bytes.empty(); ++i) {
            const std::size_t piece = sizes[i % sizes.size()];
            const std::size_t n = piece == 0 || piece > bytes.size() ? bytes.size() : piece;
            m_decoder.feed(bytes.substr(0, n));
            bytes.remove_prefix(n);
        }
        return m_outcome;
    }

    void reset() { m_decoder.reset(); }

private:
    void take(const SignCommand& command)
    {
        std::size_t text = command.speed.size() + command.intensityCode.size();
        for (const DecodedMessage& message : command.messages) {
            text += message.text.size();
        }
        check(text <= kMaxUtf8PerByte * SignStreamDecoder::kMaxFrameBytes, "command larger than a frame allows");
        m_outcome.textBytes += text;
        const std::string line = formatCommandLine(command, false);
        m_outcome.lines.append(line).push_back('\n');
        ++m_outcome.commands;
        // The coloured form is only printed, but it must not fail either.
        check(formatCommandLine(command, true).size() >= line.size(), "colours lost text");
    }

    Outcome m_outcome;
    SignStreamDecoder m_decoder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Run run;
    const Outcome whole = run.feed(bytes, {0});
    check(whole.commands * kSmallestFrame <= size, "more commands than frames fit in the input");
    check(whole.textBytes <= kMaxUtf8PerByte * size, "decoded text larger than the input allows");

    // A serial line hands over bytes in whatever reads it likes.
    run.reset();
    check(run.feed(bytes, {1}) == whole, "byte-by-byte reads decode differently");
    run.reset();
    check(run.feed(bytes, {7, 1, kClockPacketLength, 2, 64}) == whole, "uneven reads decode differently");

    // A partial frame or packet is dropped by reset(): afterwards the decoder
    // behaves as a new one.
    run.reset();
    run.feed(bytes.substr(0, size / 2), {0});
    run.reset();
    check(run.feed(bytes, {0}) == whole, "reset() left state behind");
    return 0;
}
