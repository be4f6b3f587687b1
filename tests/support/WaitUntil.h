#pragma once

// Waiting in tests that need the Qt event loop to turn: for a condition, or for a while.

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

namespace calvero::testing {

// Runs the event loop until the condition holds or the time is up; returns the condition.
inline bool waitUntil(const std::function<bool()> &condition, int milliseconds = 15000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for a while, for checks that something does not happen.
inline void spinFor(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

} // namespace calvero::testing
