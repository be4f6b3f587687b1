#pragma once

#include "Kestrix/core/TaskQueue.h"

#include <QObject>

namespace kestrix {

// The engine's task queue on the Qt main loop: tasks posted from any thread run on the thread of the
// queue's owner, in the order posted. Tasks still waiting when the queue goes away never run.
class MainTaskQueue final : public TaskQueue {
public:
    MainTaskQueue();
    ~MainTaskQueue() override;

    void async(Task task) override;
    void asyncAfter(std::chrono::milliseconds delay, Task task) override;

    bool isOnQueueThread() const;

private:
    // Receives the posted calls; deleting it drops the ones still pending.
    QObject context_;
};

} // namespace kestrix
