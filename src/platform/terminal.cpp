#include "platform/terminal.h"

#include <unistd.h>

namespace orlavo::platform {

bool isTerminal(int fd)
{
    return ::isatty(fd) == 1;
}

bool stdoutIsTerminal()
{
    return isTerminal(STDOUT_FILENO);
}

}  // namespace orlavo::platform
