#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <sys/ioctl.h>

namespace kestrix {

class LocalProcess;

// The owner of a LocalProcess: receives the child's output and exit, and sizes its pseudo-terminal.
// Called on the process's delivery queue.
class LocalProcessDelegate {
public:
    virtual ~LocalProcessDelegate() = default;

    // The child ended. `exitCode` is the status word as waitpid filled it, or nothing when the
    // status could not be collected.
    virtual void processDidExit(LocalProcess &source, std::optional<int32_t> exitCode) = 0;
    virtual void processDidReceive(LocalProcess &source, std::span<const uint8_t> bytes) = 0;
    // The size given to a new pseudo-terminal.
    virtual winsize processWindowSize(LocalProcess &source) = 0;
};

} // namespace kestrix
