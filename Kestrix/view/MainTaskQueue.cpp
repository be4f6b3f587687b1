#include "Kestrix/view/MainTaskQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace kestrix {

MainTaskQueue::MainTaskQueue()
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        context_.moveToThread(app->thread());
    }
}

MainTaskQueue::~MainTaskQueue() = default;

bool MainTaskQueue::isOnQueueThread() const
{
    return QThread::currentThread() == context_.thread();
}

void MainTaskQueue::async(Task task)
{
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void MainTaskQueue::asyncAfter(std::chrono::milliseconds delay, Task task)
{
    // A timer must be started on the thread that runs it.
    auto start = [this, delay, task = std::move(task)]() mutable {
        QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(task));
    };
    if (isOnQueueThread()) {
        start();
    } else {
        async(std::move(start));
    }
}

} // namespace kestrix
