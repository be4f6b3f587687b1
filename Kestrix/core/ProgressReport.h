#pragma once

#include <cstdint>
#include <optional>

namespace kestrix {

// The states a host can announce with OSC 9;4.
enum class ProgressReportState : uint8_t {
    remove = 0,
    set = 1,
    error = 2,
    indeterminate = 3,
    pause = 4,
};

// A progress announcement: a state and, for some states, a percentage.
struct ProgressReport {
    ProgressReportState state = ProgressReportState::remove;
    std::optional<uint8_t> progress;

    bool operator==(const ProgressReport &) const = default;
};

} // namespace kestrix
