#include "Kestrix/rendering/gpu/BufferPool.h"

#include "FakeGpu.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(BufferPool, LengthsComeInBuckets)
{
    FakeBufferFactory device;
    const BufferPool pool(device);
    const std::pair<int64_t, int64_t> cases[] = {
        {0, 4096},     {100, 4096},   {4096, 4096},        {4097, 8192},         {8192, 8192},
        {8193, 16384}, {20000, 32768}, {32768, 32768}, {1 << 20, 1 << 20}, {(1 << 20) + 1, 1 << 21},
    };
    for (const auto &[length, bucket] : cases) {
        EXPECT_EQ(pool.bucketLength(length), bucket) << length;
    }
    EXPECT_EQ(pool.bucketLength(INT64_MAX), 0);
}

TEST(BufferPool, IdleBuffersAreReusedByLength)
{
    FakeBufferFactory device;
    BufferPool pool(device);
    std::shared_ptr<GpuBuffer> first = pool.acquire(4096);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->length(), 4096);
    GpuBuffer *const address = first.get();
    pool.recycle({first});
    first.reset();
    EXPECT_EQ(pool.acquire(8192)->length(), 8192);
    EXPECT_EQ(pool.acquire(4096).get(), address);
    EXPECT_EQ(device.made, 2);
    EXPECT_FALSE(pool.acquire(0));
}

TEST(BufferPool, KeepsAtMostFourIdleBuffersPerLength)
{
    FakeBufferFactory device;
    BufferPool pool(device);
    std::vector<std::shared_ptr<GpuBuffer>> buffers;
    for (int i = 0; i < 6; ++i) {
        buffers.push_back(pool.acquire(4096));
    }
    buffers.push_back(pool.acquire(8192));
    std::weak_ptr<GpuBuffer> sixth = buffers[5];
    pool.recycle(std::move(buffers));
    EXPECT_EQ(pool.idleCount(4096), 4u);
    EXPECT_EQ(pool.idleCount(8192), 1u);
    EXPECT_TRUE(sixth.expired());
}

} // namespace
} // namespace kestrix
