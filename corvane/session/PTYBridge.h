#pragma once

#include "corvane/session/PTYError.h"

#include <cstdint>
#include <optional>

namespace corvane {

// The master and slave descriptors of one session's pseudo-terminal. The bridge never closes
// them on its own: its user owns them and closes them with closeDescriptors().
class PTYBridge {
public:
    int32_t masterFD = -1;
    int32_t slaveFD = -1;

    // Opens a new pair, both close-on-exec, the master non-blocking. On failure the
    // descriptors are left as they were.
    std::optional<PTYError> open();

    // Sets the window size in cells on the master; false when it is not open.
    bool setWindowSize(int rows, int columns) const;

    void closeMaster();
    void closeSlave();
    void closeDescriptors();
};

} // namespace corvane
