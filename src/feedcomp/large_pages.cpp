#include "feedcomp/large_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pellix::detail {

void adviseLargePages(void* data, std::size_t bytes) noexcept
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    constexpr std::size_t kWorthIt = std::size_t{4} << 20;
    if (bytes < kWorthIt) {
        return;
    }
    // Out to whole large pages: a buffer this size has its own mapping, which
    // starts a few bytes before it at a large-page boundary, so an advice kept
    // inside it would leave the first 2 MiB to 4 KiB pages. Advising the
    // neighbours too changes only their page size.
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = begin & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + bytes + kLargePage - 1) & ~(kLargePage - 1);
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace pellix::detail
