#include "Kestrix/core/TaskQueue.h"

#include <algorithm>

namespace kestrix {

void ManualTaskQueue::async(Task task)
{
    asyncAfter(std::chrono::milliseconds(0), std::move(task));
}

void ManualTaskQueue::asyncAfter(std::chrono::milliseconds delay, Task task)
{
    std::lock_guard lock(mutex_);
    entries_.push_back({now_ + std::max(delay, std::chrono::milliseconds(0)), nextSequence_++, std::move(task)});
}

bool ManualTaskQueue::takeNextDue(Task &task)
{
    std::lock_guard lock(mutex_);
    auto next = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->due > now_) {
            continue;
        }
        if (next == entries_.end() || std::tie(it->due, it->sequence) < std::tie(next->due, next->sequence)) {
            next = it;
        }
    }
    if (next == entries_.end()) {
        return false;
    }
    task = std::move(next->task);
    entries_.erase(next);
    return true;
}

int ManualTaskQueue::runPending()
{
    int ran = 0;
    Task task;
    // The lock is released while a task runs, so tasks may post more work.
    while (takeNextDue(task)) {
        task();
        ++ran;
    }
    return ran;
}

int ManualTaskQueue::advance(std::chrono::milliseconds by)
{
    {
        std::lock_guard lock(mutex_);
        now_ += by;
    }
    return runPending();
}

std::chrono::milliseconds ManualTaskQueue::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

bool ManualTaskQueue::hasPending() const
{
    std::lock_guard lock(mutex_);
    return !entries_.empty();
}

} // namespace kestrix
