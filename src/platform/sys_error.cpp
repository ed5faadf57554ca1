#include "platform/sys_error.h"

#include <cstring>

namespace orlavo::platform {

SysError sysErrorFromErrno(int errnoValue, const std::string& context)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may not be in buffer.
    const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
    std::string description = context.empty() ? std::string(text) : context + ": " + text;
    return SysError{errnoValue, description};
}

}  // namespace orlavo::platform
