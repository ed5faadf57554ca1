#include "platform/terminal.h"

#include <unistd.h>

namespace orlavo::platform {

bool stdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace orlavo::platform
