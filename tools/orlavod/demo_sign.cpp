#include "demo_sign.h"

#include "signfeed/sign_decoder.h"

namespace orlavo::tools {

namespace {
// Enough for any demo; a flood cannot grow the lists without bound.
constexpr std::size_t kMaxLines = 100;
}  // namespace

DemoSign::DemoSign(platform::EventLoop& loop)
    : m_endpoint(loop),
      m_decoder(
          [this](const signfeed::SignCommand& command) {
              if (m_shown.size() < kMaxLines) {
                  m_shown.push_back(signfeed::formatCommandLine(command, false));
              }
          },
          [this](std::string_view why) {
              if (m_errors.size() < kMaxLines) {
                  m_errors.emplace_back(why);
              }
          })
{
}

std::optional<platform::SysError> DemoSign::listen(const std::string& address)
{
    if (auto error = m_endpoint.bind(address, 0)) {
        return error;
    }
    m_address = address;
    m_endpoint.setReceiveHandler(
        [this](std::string datagram, std::string, int) { m_decoder.feed(datagram); });
    return std::nullopt;
}

}  // namespace orlavo::tools
