#include "Kestrix/core/Profiling.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kestrix {

namespace {

struct ProfileLog {
    std::mutex mutex;
    std::vector<Profiling::Totals> totals;
};

ProfileLog &profileLog()
{
    static ProfileLog log;
    return log;
}

} // namespace

bool Profiling::isEnabled()
{
    static const bool enabled = [] {
        const char *value = std::getenv("KESTRIX_PROFILE");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void Profiling::record(const char *category, const char *name, std::chrono::nanoseconds duration)
{
    ProfileLog &log = profileLog();
    std::lock_guard lock(log.mutex);
    for (Totals &entry : log.totals) {
        if (entry.category == category && entry.name == name) {
            ++entry.count;
            entry.total += duration;
            return;
        }
    }
    log.totals.push_back({category, name, 1, duration});
}

std::vector<Profiling::Totals> Profiling::totals()
{
    ProfileLog &log = profileLog();
    std::lock_guard lock(log.mutex);
    return log.totals;
}

} // namespace kestrix
