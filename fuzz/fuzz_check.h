#pragma once
// A property that does not hold aborts with the program's name and why, so
// that libFuzzer keeps the input and the replay fails.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace orlavo::fuzz {

inline void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
        std::abort();
    }
}

}  // namespace orlavo::fuzz
