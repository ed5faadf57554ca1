#pragma once
#include "pellix/net.h"

namespace orlavo::platform {

using pellix::IpAddress;
using pellix::parseIpLiteral;

}  // namespace orlavo::platform
