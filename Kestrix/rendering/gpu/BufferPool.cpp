#include "Kestrix/rendering/gpu/BufferPool.h"

#include <limits>

namespace kestrix {

namespace {

constexpr int64_t smallestBucket = 4096;

} // namespace

BufferPool::BufferPool(GpuBufferFactory &device, int64_t alignment, size_t maxBuffersPerSize)
    : device_(device), alignment_(alignment > 0 ? alignment : defaultAlignment), maxBuffersPerSize_(maxBuffersPerSize)
{
}

int64_t BufferPool::bucketLength(int64_t byteLength) const
{
    if (byteLength <= smallestBucket) {
        return smallestBucket;
    }
    constexpr int64_t largest = std::numeric_limits<int64_t>::max() / 4;
    if (byteLength > largest) {
        return 0;
    }
    const int64_t rounded = (byteLength + alignment_ - 1) / alignment_ * alignment_;
    int64_t bucket = smallestBucket * 2;
    while (bucket < rounded) {
        bucket *= 2;
    }
    return bucket;
}

std::shared_ptr<GpuBuffer> BufferPool::acquire(int64_t length)
{
    if (length <= 0) {
        return nullptr;
    }
    {
        const std::lock_guard guard(lock_);
        if (const auto found = available_.find(length); found != available_.end() && !found->second.empty()) {
            std::shared_ptr<GpuBuffer> buffer = std::move(found->second.back());
            found->second.pop_back();
            return buffer;
        }
    }
    return device_.makeBuffer(length);
}

void BufferPool::recycle(std::vector<std::shared_ptr<GpuBuffer>> buffers)
{
    // Dropped buffers are released after the lock, since releasing one may call into the GPU.
    std::vector<std::shared_ptr<GpuBuffer>> dropped;
    {
        const std::lock_guard guard(lock_);
        for (std::shared_ptr<GpuBuffer> &buffer : buffers) {
            if (!buffer) {
                continue;
            }
            std::vector<std::shared_ptr<GpuBuffer>> &idle = available_[buffer->length()];
            if (idle.size() >= maxBuffersPerSize_) {
                dropped.push_back(std::move(buffer));
            } else {
                idle.push_back(std::move(buffer));
            }
        }
    }
}

size_t BufferPool::idleCount(int64_t length) const
{
    const std::lock_guard guard(lock_);
    const auto found = available_.find(length);
    return found == available_.end() ? 0 : found->second.size();
}

} // namespace kestrix
