#pragma once
// Large-page memory for the big buffers of a parse and a download. Filling
// fresh memory in 4 KiB pages means one page fault per page, and for a huge
// document that costs more than the parse itself.
#include <cstddef>
#include <limits>
#include <new>

namespace pellix::detail {

// Advises a buffer, before it is first written, for large pages. Only advice:
// the program behaves the same whatever the system answers. Buffers under
// 4 MiB are left alone: their faults cost little.
void adviseLargePages(void* data, std::size_t bytes) noexcept;

// Blocks of 4 MiB or more get a mapping of their own, advised for large pages
// and returned to the system when freed; smaller ones come from the heap.
// Throws std::bad_alloc like operator new.
[[nodiscard]] void* allocateLarge(std::size_t bytes);
void freeLarge(void* block, std::size_t bytes) noexcept;

// For arrays that grow with the input, such as the item records: a parse then
// costs the same whether or not the heap still holds an earlier parse's
// memory, so the time grows in step with the input.
template <typename T>
struct LargePageAllocator {
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U>
    explicit LargePageAllocator(const LargePageAllocator<U>&) noexcept
    {
    }

    [[nodiscard]] T* allocate(std::size_t n)
    {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(allocateLarge(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { freeLarge(block, n * sizeof(T)); }

    friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) noexcept { return true; }
};

}  // namespace pellix::detail
