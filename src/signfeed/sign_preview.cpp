#include "signfeed/sign_preview.h"

#include <array>

namespace orlavo::signfeed {

SignPreview::SignPreview()
    : m_decoder(
          [this](const SignCommand& command) {
              // A reset clears the sign's messages.
              if (command.kind == SignCommand::Kind::Reset) {
                  m_shown.reset();
              } else {
                  m_shown = command;
              }
              m_error.clear();
              changed();
          },
          [this](std::string_view why) {
              m_error = why;
              changed();
          })
{
}

void SignPreview::frameProgress(int unit, int units)
{
    if (units > 1) {
        m_progress = "packet " + std::to_string(unit) + " of " + std::to_string(units);
        changed();
    }
}

void SignPreview::frameFinished(const FrameReport& report)
{
    m_progress.clear();
    // A frame cut short leaves a partial one behind, as on the sign.
    if (report.stopped || report.unitsSent < report.units) {
        m_decoder.reset();
    }
    changed();
}

void SignPreview::unitSent(std::string_view bytes)
{
    m_decoder.feed(bytes);
}

void SignPreview::changed()
{
    if (m_changed) {
        m_changed();
    }
}

int scrollPixelsPerSecond(std::string_view speed)
{
    constexpr std::array<int, 5> kPixelsPerSecond = {30, 45, 60, 80, 100};
    if (speed.size() == 1 && speed[0] >= '1' && speed[0] <= '5') {
        return kPixelsPerSecond[static_cast<std::size_t>(speed[0] - '1')];
    }
    return kPixelsPerSecond[0];
}

}  // namespace orlavo::signfeed
