#pragma once
#include "pellix/poll_event_loop.h"
#include "platform/clock.h"
#include "platform/event_loop.h"

namespace orlavo::platform {

using pellix::PollEventLoop;

}  // namespace orlavo::platform
