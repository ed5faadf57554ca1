#include "support/download_harness.h"

namespace orlavo::testing {

bool EventRecorder::finished() const
{
    for (const auto& event : events) {
        if (event.rfind("finish", 0) == 0) {
            return true;
        }
    }
    return false;
}

void EventRecorder::record(std::string event)
{
    events.push_back(event);
    if (onEvent) {
        onEvent(event);
    }
}

DownloadHarness::DownloadHarness(const pellix::RSSCompLimits& limits, platform::Resolver* resolver,
                                 platform::TcpConnector* connector)
{
    comp = std::make_unique<pellix::RSSComp>(pellix::RSSCompServices{loop, clock, connectivity, resolver, connector},
                                             limits);
    comp->setListener(&events);
}

bool DownloadHarness::pumpUntil(const std::function<bool()>& pred)
{
    for (int round = 0; round < 200 && !pred(); ++round) {
        loop.runOnce(100);
    }
    return pred();
}

}  // namespace orlavo::testing
