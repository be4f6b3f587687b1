#include "Kestrix/core/StringBuffer.h"

#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace kestrix {

namespace {

size_t pageSize()
{
    static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

size_t roundUpToPages(size_t bytes)
{
    const size_t page = pageSize();
    return (bytes + page - 1) / page * page;
}

} // namespace

StringBuffer::~StringBuffer()
{
    release();
}

void StringBuffer::reserve(size_t capacity)
{
    if (capacity <= capacity_) {
        return;
    }
    const size_t mapped = roundUpToPages(capacity);
    void *pages = data_ == nullptr
                      ? mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                      : mremap(data_, capacity_, mapped, MREMAP_MAYMOVE);
    if (pages == MAP_FAILED) {
        throw std::bad_alloc();
    }
    data_ = static_cast<uint8_t *>(pages);
    capacity_ = mapped;
}

void StringBuffer::append(std::span<const uint8_t> bytes)
{
    if (bytes.empty()) {
        return;
    }
    reserve(size_ + bytes.size());
    std::memcpy(data_ + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
}

void StringBuffer::release()
{
    if (data_ != nullptr) {
        munmap(data_, capacity_);
    }
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

void StringBuffer::swap(StringBuffer &other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

} // namespace kestrix
