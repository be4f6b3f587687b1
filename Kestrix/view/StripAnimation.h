#pragma once

#include <cstdint>

namespace kestrix {

// One animated value of the progress strip, computed from a clock rather than stepped by a timer:
// it runs from `from` to `to` over `durationNs`, eased in and out, and, when it autoreverses, back
// again; one that repeats forever never finishes.
struct StripAnimation {
    double from = 0;
    double to = 0;
    uint64_t startNs = 0;
    uint64_t durationNs = 0;
    bool autoreverses = false;
    bool repeatsForever = false;

    // The value at `nowNs`; `to` (or `from`, after a reversal) once finished.
    double valueAt(uint64_t nowNs) const;
    bool finishedAt(uint64_t nowNs) const;

    // The ease-in-ease-out timing curve: a cubic Bézier through (0.42, 0) and (0.58, 1).
    static double easeInEaseOut(double progress);
};

} // namespace kestrix
