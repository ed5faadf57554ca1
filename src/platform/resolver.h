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

}  // namespace orlavo::platform
