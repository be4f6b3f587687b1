#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kestrix {

// A vertex buffer on the GPU of a fixed length.
class GpuBuffer {
public:
    virtual ~GpuBuffer() = default;
    virtual int64_t length() const = 0;
    // Copies `count` bytes (at most the length) to the buffer's start.
    virtual void write(const void *bytes, int64_t count) = 0;
    // The GL name the draw code binds; 0 for a buffer that lives nowhere but memory.
    virtual unsigned int bufferId() const { return 0; }
};

// Makes buffers; gives nothing when the GPU refuses one.
class GpuBufferFactory {
public:
    virtual ~GpuBufferFactory() = default;
    virtual std::shared_ptr<GpuBuffer> makeBuffer(int64_t length) = 0;
};

// Per-frame vertex buffers, reused by length once the frame that used them is done. Lengths come in
// buckets (4096 bytes, then powers of two) so that buffers of one frame serve later frames of a similar
// size; a few idle buffers per length are kept, the rest dropped.
class BufferPool {
public:
    static constexpr int64_t defaultAlignment = 256;
    static constexpr size_t defaultMaxBuffersPerSize = 4;

    explicit BufferPool(GpuBufferFactory &device, int64_t alignment = defaultAlignment,
                        size_t maxBuffersPerSize = defaultMaxBuffersPerSize);

    // The length to ask for when `byteLength` bytes are to be drawn: rounded up to the alignment, then
    // 4096 or the smallest 4096 × 2^k above it. Nothing for a length no buffer could have.
    int64_t bucketLength(int64_t byteLength) const;

    // An idle buffer of exactly this length, else a new one; nothing when the GPU refuses.
    std::shared_ptr<GpuBuffer> acquire(int64_t length);
    // Keeps up to the limit per length for reuse; may run on another thread than `acquire`.
    void recycle(std::vector<std::shared_ptr<GpuBuffer>> buffers);

    size_t idleCount(int64_t length) const;

    // The buffers handed out while the current frame is encoded; touched on the drawing thread only.
    std::vector<std::shared_ptr<GpuBuffer>> frameBuffers;

private:
    GpuBufferFactory &device_;
    int64_t alignment_;
    size_t maxBuffersPerSize_;
    mutable std::mutex lock_;
    std::unordered_map<int64_t, std::vector<std::shared_ptr<GpuBuffer>>> available_;
};

} // namespace kestrix
