#pragma once
// Large-page advice for the big buffers of a parse, given before they are
// first written. Filling fresh memory in 4 KiB pages means one page fault per
// page, and for a huge document that costs more than the parse itself.
#include <cstddef>

namespace pellix::detail {

// Only advice: the program behaves the same whatever the system answers.
// Buffers under 4 MiB are left alone: their faults cost little.
void adviseLargePages(void* data, std::size_t bytes) noexcept;

}  // namespace pellix::detail
