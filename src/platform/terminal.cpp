#include "platform/terminal.h"

#include <unistd.h>

namespace orlavo::platform {

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

}  // namespace orlavo::platform
