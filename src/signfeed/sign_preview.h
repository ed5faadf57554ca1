#pragma once
// What the sign shows, rebuilt from the bytes the link actually delivered:
// the same decoder the sign emulator uses reads every unit that went out, so
// a preview shows what reached the sign, not what was meant to. While a frame
// goes out in clock packets it says how far it got.
#include "signfeed/sign_decoder.h"
#include "signfeed/sign_link.h"
#include "signfeed/sign_stream_decoder.h"

#include <functional>
#include <optional>
#include <string>

namespace orlavo::signfeed {

class SignPreview final : public SignLinkObserver {
public:
    // Called after every change of what the preview shows.
    using ChangeHandler = std::function<void()>;

    SignPreview();
    void setChangeHandler(ChangeHandler handler) { m_changed = std::move(handler); }

    void frameProgress(int unit, int units) override;
    void frameFinished(const FrameReport& report) override;
    void unitSent(std::string_view bytes) override;

    // The last text message the sign took whole; empty before the first.
    [[nodiscard]] const std::optional<SignCommand>& shown() const { return m_shown; }
    // "packet 3 of 40" while a frame goes out in packets; else empty.
    [[nodiscard]] const std::string& progressText() const { return m_progress; }
    // Why the last bytes were not a valid frame (empty when they were).
    [[nodiscard]] const std::string& lastError() const { return m_error; }

private:
    void changed();

    SignStreamDecoder m_decoder;
    std::optional<SignCommand> m_shown;
    std::string m_progress;
    std::string m_error;
    ChangeHandler m_changed;
};

// How fast the preview scrolls for a "Speed 1 - 5" text, in pixels per
// second: 1 is the slowest; a text out of range or not a number reads as 1.
[[nodiscard]] int scrollPixelsPerSecond(std::string_view speed);

}  // namespace orlavo::signfeed
