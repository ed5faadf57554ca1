#pragma once
// A test's child processes end with the test: also when the test aborts, a
// sanitizer stops it or CTest kills it on a timeout, so no server is left
// serving a removed temporary folder.
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>

namespace orlavo::testing {

// Call in the child right after fork(), before exec: the kernel sends SIGKILL
// when the parent goes. A parent already gone before the request took effect
// would never send it, so the child leaves at once.
inline void endWithParent(pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127);
    }
}

}  // namespace orlavo::testing
