#include "Kestrix/view/StripAnimation.h"

#include <algorithm>
#include <cmath>

namespace kestrix {
namespace {

double bezier(double t, double p1, double p2)
{
    const double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

} // namespace

double StripAnimation::easeInEaseOut(double progress)
{
    if (!(progress > 0)) {
        return 0;
    }
    if (progress >= 1) {
        return 1;
    }
    const double x = progress;
    // The curve's x grows monotonically with its parameter: bisect for the parameter, read y.
    double low = 0;
    double high = 1;
    for (int step = 0; step < 40; ++step) {
        const double middle = (low + high) / 2;
        (bezier(middle, 0.42, 0.58) < x ? low : high) = middle;
    }
    return bezier((low + high) / 2, 0, 1);
}

bool StripAnimation::finishedAt(uint64_t nowNs) const
{
    if (repeatsForever) {
        return false;
    }
    const uint64_t length = autoreverses ? 2 * durationNs : durationNs;
    return nowNs < startNs ? false : nowNs - startNs >= length;
}

double StripAnimation::valueAt(uint64_t nowNs) const
{
    if (durationNs == 0) {
        return autoreverses ? from : to;
    }
    const uint64_t elapsed = nowNs > startNs ? nowNs - startNs : 0;
    if (finishedAt(nowNs)) {
        return autoreverses ? from : to;
    }
    const uint64_t cycle = autoreverses ? 2 * durationNs : durationNs;
    uint64_t within = elapsed % cycle;
    if (within >= durationNs) {
        within = cycle - within;
    }
    const double eased = easeInEaseOut(static_cast<double>(within) / static_cast<double>(durationNs));
    return from + (to - from) * eased;
}

} // namespace kestrix
