#include "platform/descriptor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using namespace orlavo::platform;

// Signals never arrive in a test run, so the interrupted path is driven by a
// call that reports EINTR as a real one would.
TEST(Descriptor, RetriesOnlyWhileTheCallWasInterrupted)
{
    struct Row {
        const char* label;
        std::vector<int> errnos;  // 0: the call succeeds with 7
        int expected;
        int expectedErrno;
    } rows[] = {
        {"succeeds at once", {0}, 7, 0},
        {"interrupted twice, then succeeds", {EINTR, EINTR, 0}, 7, 0},
        {"other failure is returned", {EAGAIN}, -1, EAGAIN},
        {"interrupted, then fails", {EINTR, EBADF}, -1, EBADF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::size_t calls = 0;
        errno = 0;
        int result = retryInterrupted([&] {
            const int e = row.errnos.at(calls++);
            errno = e;
            return e == 0 ? 7 : -1;
        });
        EXPECT_EQ(result, row.expected);
        EXPECT_EQ(calls, row.errnos.size());
        if (row.expected < 0) {
            EXPECT_EQ(errno, row.expectedErrno);
        }
    }
}
