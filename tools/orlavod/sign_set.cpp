#include "sign_set.h"

#include <sys/resource.h>

#include <algorithm>

namespace orlavo::tools {

namespace {

// Every sign holds a download's connection at times, and all may download
// at once: a few thousand signs need more descriptors than the usual soft limit.
void allowDescriptorsFor(std::size_t signs)
{
    rlimit limit{};
    const auto wanted = static_cast<rlim_t>(signs * 2 + 64);
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min(wanted, limit.rlim_max);
        (void)::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

SignSet::Sign::Sign(const SignEntry& entry, bool named, SignSet& set, const pellix::RSSCompLimits& limits)
    : name(entry.name),
      settingsPath(entry.settingsPath),
      linePrefix(named ? entry.name + ": " : std::string()),
      settings(entry.settingsPath),
      udp(set.m_share),
      sink(linePrefix),
      program(signfeed::ProgramPorts{set.clock, set.loop, settings, udp, serial, set.connectivity, sink},
              signfeed::kSignUdpPort, limits, platform::Pacing::Timers)
{
}

SignSet::SignSet(const std::vector<SignEntry>& entries, const pellix::RSSCompLimits& limits)
{
    allowDescriptorsFor(entries.size());
    m_signs.reserve(entries.size());
    for (const SignEntry& entry : entries) {
        m_signs.push_back(std::make_unique<Sign>(entry, entries.size() > 1, *this, limits));
        // One loop serves every sign: a feed host that never answers must not
        // hold the others until its connect times out.
        if (entries.size() > 1) {
            m_signs.back()->program.feed().ConnectInBackground(true);
        }
    }
}

SignSet::Sign* SignSet::find(std::string_view name) const
{
    for (const auto& sign : m_signs) {
        if (sign->name == name) {
            return sign.get();
        }
    }
    return nullptr;
}

}  // namespace orlavo::tools
