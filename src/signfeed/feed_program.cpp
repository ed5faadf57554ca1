#include "signfeed/feed_program.h"

#include "orlavo_version.h"

namespace orlavo::signfeed {

FeedProgram::FeedProgram(const ProgramPorts& ports, int signPort, const pellix::RSSCompLimits& limits,
                         platform::Pacing pacing)
    : m_loop(ports.loop),
      m_window(MainWindowDeps{ports.clock, ports.loop, ports.settings, ports.udp, ports.serial, ports.sink},
               MainWindowOptions{signPort, ORLAVO_VERSION}),
      m_link(ports.clock, ports.loop, ports.udp, ports.serial, ports.sink),
      m_feed(pellix::RSSCompServices{ports.loop, ports.clock, ports.connectivity, ports.resolver, ports.connector}, limits),
      m_composer(m_window, m_link, ports.clock),
      m_cycle(m_window, m_feed, m_composer, ports.clock, ports.loop),
      m_announcement(m_window, m_composer, m_cycle, ports.clock, ports.loop)
{
    m_link.setLinkSelectionSource([this] {
        return LinkSelection{m_window.udpLinkOn(), m_window.serialLinkOn()};
    });
    // Close and port changes wait until the frame going out is gone.
    m_window.setDeferral([this](std::function<void()> action) { m_link.whenIdle(std::move(action)); });
    if (pacing == platform::Pacing::Timers) {
        m_link.setPacing(pacing);
        m_cycle.setPacing(pacing);
        // sendFrame returns before the frame is gone: the update ends, and
        // its report is read, once it has.
        m_cycle.setFrameDeferral([this](std::function<void()> action) { m_link.whenIdle(std::move(action)); });
    }
}

void FeedProgram::load()
{
    m_window.load();
}

void FeedProgram::runOneUpdate()
{
    m_cycle.requestUpdate();
    // The feed control bounds every download and the link every frame, so this ends.
    while (m_cycle.busy()) {
        m_loop.runOnce(1000);
    }
}

void FeedProgram::close()
{
    m_cycle.stop();
    m_window.close();
    while (!m_window.closed()) {
        m_loop.runOnce(1000);
    }
}

}  // namespace orlavo::signfeed
