#include "platform/udp_endpoint.h"

#include <cerrno>

namespace orlavo::platform {

// Linux has no single "send would block, try later" code like the one the
// sign link ignores. These are the failures that mean a full queue or an
// interrupted call rather than a broken link: the next packet may well go.
bool isTransientSendError(int number)
{
    return number == ENOBUFS || number == EAGAIN || number == EWOULDBLOCK || number == EINTR;
}

}  // namespace orlavo::platform
