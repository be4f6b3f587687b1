#pragma once

#include <QString>

#include <cstdint>

namespace corvane {

// The time elapsed since a moment, in its two largest units ("3 minutes, 12 seconds",
// "2 days, 1 hour"). A moment in the future counts as no time at all.
QString relativeTimeText(int64_t elapsedSeconds);

} // namespace corvane
