#include "feedcomp/large_pages.h"

#include "platform/page_memory.h"

namespace pellix::detail {

namespace {

constexpr std::size_t kWorthIt = std::size_t{4} << 20;

bool mappedOwnPages(std::size_t bytes) noexcept
{
    return bytes >= kWorthIt && orlavo::platform::largePagesAvailable();
}

}  // namespace

void adviseLargePages(void* data, std::size_t bytes) noexcept
{
    if (bytes >= kWorthIt) {
        orlavo::platform::adviseLargePages(data, bytes);
    }
}

void* allocateLarge(std::size_t bytes)
{
    if (!mappedOwnPages(bytes)) {
        return ::operator new(bytes);
    }
    void* block = orlavo::platform::mapLargePages(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void freeLarge(void* block, std::size_t bytes) noexcept
{
    if (!mappedOwnPages(bytes)) {
        ::operator delete(block);
        return;
    }
    orlavo::platform::unmapLargePages(block, bytes);
}

}  // namespace pellix::detail
