#pragma once
// Memory in large (2 MiB) pages where the system offers them. Filling fresh
// memory in 4 KiB pages means one page fault per page, which for a buffer of
// many megabytes costs more than what is written into it.
#include <cstddef>

namespace orlavo::platform {

inline constexpr std::size_t kLargePage = std::size_t{2} << 20;

// Whether this system maps and advises large pages at all; where it does not,
// the functions below do nothing and mapLargePages returns nullptr.
[[nodiscard]] bool largePagesAvailable() noexcept;

// Advises [data, data + bytes), widened to whole large pages, for large pages.
// Only advice: the program behaves the same whatever the system answers.
void adviseLargePages(void* data, std::size_t bytes) noexcept;

// A mapping of its own for bytes, rounded up to whole large pages, starting on
// a large-page boundary and advised for large pages; nullptr when refused.
[[nodiscard]] void* mapLargePages(std::size_t bytes) noexcept;
// Returns a block from mapLargePages, with the same bytes, to the system.
void unmapLargePages(void* block, std::size_t bytes) noexcept;

}  // namespace orlavo::platform
