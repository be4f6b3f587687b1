#pragma once

#include <chrono>
#include <functional>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kestrix {

// Where the engine runs deferred work. The engine has no event loop of its own: the view layer
// supplies one backed by the application's main loop, tests supply a ManualTaskQueue.
// Tasks posted from any thread run on the queue's own thread, in the order posted.
class TaskQueue {
public:
    using Task = std::function<void()>;

    virtual ~TaskQueue() = default;

    virtual void async(Task task) = 0;
    virtual void asyncAfter(std::chrono::milliseconds delay, Task task) = 0;
};

// A queue that runs nothing until told to, with a clock that moves only when advanced.
class ManualTaskQueue final : public TaskQueue {
public:
    void async(Task task) override;
    void asyncAfter(std::chrono::milliseconds delay, Task task) override;

    // Runs every task that is due, including tasks that due tasks post; returns how many ran.
    int runPending();
    // Moves the clock forward and runs what became due.
    int advance(std::chrono::milliseconds by);

    std::chrono::milliseconds now() const;
    bool hasPending() const;

private:
    struct Entry {
        std::chrono::milliseconds due;
        uint64_t sequence;
        Task task;
    };

    bool takeNextDue(Task &task);

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::chrono::milliseconds now_{0};
    uint64_t nextSequence_ = 0;
};

} // namespace kestrix
