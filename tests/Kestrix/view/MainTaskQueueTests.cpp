#include "Kestrix/view/MainTaskQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace kestrix {
namespace {

// Runs the main loop until `done` holds or two seconds pass.
template <typename Predicate> void processEventsUntil(Predicate done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

TEST(MainTaskQueueTest, TasksPostedFromAnotherThreadRunOnTheMainThreadInOrder)
{
    MainTaskQueue queue;
    std::vector<int> order;
    std::vector<QThread *> threads;
    std::thread worker([&] {
        EXPECT_FALSE(queue.isOnQueueThread());
        for (int i = 1; i <= 3; ++i) {
            queue.async([&, i] {
                order.push_back(i);
                threads.push_back(QThread::currentThread());
            });
        }
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(queue.isOnQueueThread());
    processEventsUntil([&] { return order.size() == 3; });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    for (QThread *thread : threads) {
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
    }
}

TEST(MainTaskQueueTest, DelayedTaskFromAnotherThreadWaitsForItsTime)
{
    MainTaskQueue queue;
    QElapsedTimer timer;
    timer.start();
    std::atomic<qint64> ranAfter{-1};
    std::thread worker(
        [&] { queue.asyncAfter(std::chrono::milliseconds(40), [&] { ranAfter = timer.elapsed(); }); });
    worker.join();
    processEventsUntil([&] { return ranAfter >= 0; });
    EXPECT_GE(ranAfter.load(), 35);
}

TEST(MainTaskQueueTest, TasksStillWaitingWhenTheQueueGoesAwayNeverRun)
{
    bool ran = false;
    auto queue = std::make_unique<MainTaskQueue>();
    queue->async([&] { ran = true; });
    queue->asyncAfter(std::chrono::milliseconds(1), [&] { ran = true; });
    queue.reset();
    QElapsedTimer timer;
    timer.start();
    processEventsUntil([&] { return timer.elapsed() > 30; });
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace kestrix
