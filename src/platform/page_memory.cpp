#include "platform/page_memory.h"

#include <cstdint>
#include <limits>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orlavo::platform {

namespace {

constexpr std::uintptr_t roundUp(std::uintptr_t n) noexcept
{
    return (n + kLargePage - 1) & ~(kLargePage - 1);
}

}  // namespace

#if defined(__linux__) && defined(MADV_HUGEPAGE)

bool largePagesAvailable() noexcept
{
    return true;
}

void adviseLargePages(void* data, std::size_t bytes) noexcept
{
    // Out to whole large pages: a big buffer has its own mapping, which starts
    // a few bytes before it at a large-page boundary, so an advice kept inside
    // it would leave the first 2 MiB to 4 KiB pages. Advising the neighbours
    // too changes only their page size.
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = begin & ~(kLargePage - 1);
    (void)madvise(reinterpret_cast<void*>(first), roundUp(begin + bytes) - first, MADV_HUGEPAGE);
}

void* mapLargePages(std::size_t bytes) noexcept
{
    if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kLargePage) {
        return nullptr;
    }
    // Mapped one large page longer than needed, then trimmed to start on a
    // large-page boundary, so every page of the block can be a large one.
    const std::size_t length = roundUp(bytes);
    void* mapped = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    const auto raw = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = roundUp(raw);
    if (aligned > raw) {
        (void)munmap(mapped, aligned - raw);
    }
    if (const std::uintptr_t tail = raw + length + kLargePage - (aligned + length); tail > 0) {
        (void)munmap(reinterpret_cast<void*>(aligned + length), tail);
    }
    (void)madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void unmapLargePages(void* block, std::size_t bytes) noexcept
{
    (void)munmap(block, roundUp(bytes));
}

#else

bool largePagesAvailable() noexcept
{
    return false;
}

void adviseLargePages(void*, std::size_t) noexcept {}

void* mapLargePages(std::size_t) noexcept
{
    return nullptr;
}

void unmapLargePages(void*, std::size_t) noexcept {}

#endif

}  // namespace orlavo::platform
