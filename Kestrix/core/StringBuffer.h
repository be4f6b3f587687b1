#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrix {

// The bytes of an OSC or APC string being collected. They live in pages mapped for the buffer alone,
// and growing remaps those pages instead of copying them into a second block: a string at its limit
// costs the limit, never the old and the new block together.
class StringBuffer {
public:
    StringBuffer() = default;
    ~StringBuffer();
    StringBuffer(const StringBuffer &) = delete;
    StringBuffer &operator=(const StringBuffer &) = delete;

    const uint8_t *data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

    // Room for at least `capacity` bytes; throws std::bad_alloc when the pages cannot be had.
    void reserve(size_t capacity);
    // Appends the bytes, growing to exactly what they need when there is no room.
    void append(std::span<const uint8_t> bytes);
    void clear() { size_ = 0; }
    // Drops the bytes from `length` on.
    void truncate(size_t length)
    {
        if (length < size_) {
            size_ = length;
        }
    }
    // Gives the pages back.
    void release();
    void swap(StringBuffer &other) noexcept;

private:
    uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

} // namespace kestrix
