#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrix {

// Interval recording for performance work, on only when KESTRIX_PROFILE is exactly "1" when the
// process first asks. Intervals are summed per name under a category, for bench programs to read.
class Profiling {
public:
    struct Totals {
        std::string category;
        std::string name;
        int64_t count = 0;
        std::chrono::nanoseconds total{0};
    };

    static bool isEnabled();
    static void record(const char *category, const char *name, std::chrono::nanoseconds duration);
    static std::vector<Totals> totals();
};

// Records the time between its construction and its destruction when profiling is on.
class ProfileInterval {
public:
    ProfileInterval(const char *category, const char *name)
        : category_(category)
        , name_(name)
        , enabled_(Profiling::isEnabled())
    {
        if (enabled_) {
            start_ = std::chrono::steady_clock::now();
        }
    }
    ~ProfileInterval()
    {
        if (enabled_) {
            Profiling::record(category_, name_, std::chrono::steady_clock::now() - start_);
        }
    }
    ProfileInterval(const ProfileInterval &) = delete;
    ProfileInterval &operator=(const ProfileInterval &) = delete;

private:
    const char *category_;
    const char *name_;
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace kestrix
