#include "Kestrix/core/TaskQueue.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

TEST(ManualTaskQueue, RunsDueTasksInOrderAndDelayedOnesOnlyWhenTheClockReachesThem)
{
    ManualTaskQueue queue;
    std::string order;
    queue.asyncAfter(std::chrono::milliseconds(1000), [&] { order += "late "; });
    queue.async([&] { order += "a "; });
    queue.async([&] {
        order += "b ";
        queue.async([&] { order += "posted-by-b "; });
    });

    EXPECT_EQ(queue.runPending(), 3);
    EXPECT_EQ(order, "a b posted-by-b ");
    EXPECT_TRUE(queue.hasPending());

    EXPECT_EQ(queue.advance(std::chrono::milliseconds(999)), 0);
    EXPECT_EQ(queue.advance(std::chrono::milliseconds(1)), 1);
    EXPECT_EQ(order, "a b posted-by-b late ");
    EXPECT_FALSE(queue.hasPending());
}

} // namespace
} // namespace kestrix
