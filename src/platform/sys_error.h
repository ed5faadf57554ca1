#pragma once
// A failure reported by the operating system: its errno-style number and a
// sentence for the user. Returned, never thrown.
#include <string>

namespace orlavo::platform {

struct SysError {
    int number = 0;
    std::string description;
};

// Builds a SysError from an errno value, with strerror's text.
[[nodiscard]] SysError sysErrorFromErrno(int errnoValue, const std::string& context = {});

}  // namespace orlavo::platform
