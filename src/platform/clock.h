#pragma once
#include "pellix/clock.h"

namespace orlavo::platform {

using pellix::Clock;
using pellix::LocalTime;
using pellix::SystemClock;

}  // namespace orlavo::platform
