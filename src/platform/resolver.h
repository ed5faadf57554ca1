#pragma once
// Time-limited host name lookup. The system resolver answers numeric
// addresses at once; names go to getaddrinfo on a helper thread, because
// getaddrinfo itself cannot be given a deadline. When the deadline passes the
// caller gets TimedOut and the helper finishes (and is forgotten) on its own.
#include "platform/ip_address.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orlavo::platform {

using pellix::LookupResult;
using pellix::LookupStatus;
using pellix::Resolver;

class SystemResolver final : public Resolver {
public:
    [[nodiscard]] LookupResult lookup(const std::string& host, std::int64_t timeoutMs) override;
};

}  // namespace orlavo::platform
