#pragma once
#include "platform/ip_address.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orlavo::platform {

using pellix::LookupResult;
using pellix::LookupStatus;
using pellix::Resolver;
using pellix::SystemResolver;

// getaddrinfo for host, IPv4 addresses first; blocks as long as the system's
// resolver takes, so it runs on a helper thread.
[[nodiscard]] LookupResult lookupNow(const std::string& host);

}  // namespace orlavo::platform
