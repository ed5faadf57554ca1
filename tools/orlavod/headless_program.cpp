#include "headless_program.h"

#include "orlavo_version.h"

#include <cstdio>

namespace orlavo::tools {

HeadlessProgram::HeadlessProgram(const ProgramPorts& ports, int signPort, const pellix::RSSCompLimits& limits)
    : m_loop(ports.loop),
      m_window(signfeed::MainWindowDeps{ports.clock, ports.loop, ports.settings, ports.udp, ports.serial, ports.sink},
               signfeed::MainWindowOptions{signPort, ORLAVO_VERSION}),
      m_link(ports.clock, ports.loop, ports.udp, ports.serial, ports.sink),
      m_feed(ports.loop, ports.clock, ports.connectivity, limits),
      m_composer(m_window, m_link, ports.clock),
      m_cycle(m_window, m_feed, m_composer, ports.clock, ports.loop)
{
    m_link.setLinkSelectionSource([this] {
        return signfeed::LinkSelection{m_window.checked(signfeed::Field::Check1),
                                       m_window.checked(signfeed::Field::Check2)};
    });
    // Close and port changes wait until the frame going out is gone.
    m_window.setDeferral([this](std::function<void()> action) { m_link.whenIdle(std::move(action)); });
}

void HeadlessProgram::load()
{
    m_window.load();
}

void HeadlessProgram::runOneUpdate()
{
    m_cycle.requestUpdate();
    // The feed control bounds every download and the link every frame, so this ends.
    while (m_cycle.busy()) {
        m_loop.runOnce(1000);
    }
}

void HeadlessProgram::close()
{
    m_cycle.stop();
    m_window.close();
    while (!m_window.closed()) {
        m_loop.runOnce(1000);
    }
}

void StatusPrinter::fieldChanged(signfeed::Field field)
{
    if (field != signfeed::Field::TInfo && field != signfeed::Field::Status) {
        return;
    }
    const std::string& text = m_window.control(field).text;
    if (!text.empty()) {
        std::fprintf(stderr, "orlavod: %s\n", text.c_str());
    }
}

}  // namespace orlavo::tools
