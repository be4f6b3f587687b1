#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include <sys/mman.h>

namespace kestrix {

// An allocator for tables read at random places: a block of two megabytes or more lies on a
// 2 MiB boundary and the kernel is asked to back it with large pages, so that its reads need a
// fraction of the address translations. Smaller blocks come from the usual heap.
template <typename T>
class LargePageAllocator {
public:
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U>
    explicit LargePageAllocator(const LargePageAllocator<U> &)
    {
    }

    T *allocate(size_t count)
    {
        const size_t bytes = count * sizeof(T);
        if (bytes < largePage) {
            return std::allocator<T>().allocate(count);
        }
        const size_t rounded = (bytes + largePage - 1) / largePage * largePage;
        void *const block = std::aligned_alloc(largePage, rounded);
        if (block == nullptr) {
            throw std::bad_alloc();
        }
#if defined(MADV_HUGEPAGE)
        // Advice only: where the kernel declines, the block works as it is.
        madvise(block, rounded, MADV_HUGEPAGE);
#endif
        return static_cast<T *>(block);
    }

    void deallocate(T *block, size_t count)
    {
        if (count * sizeof(T) < largePage) {
            std::allocator<T>().deallocate(block, count);
            return;
        }
        std::free(block);
    }

    friend bool operator==(const LargePageAllocator &, const LargePageAllocator &) { return true; }

private:
    static constexpr size_t largePage = size_t{2} << 20;
};

} // namespace kestrix
