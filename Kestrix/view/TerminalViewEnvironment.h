#pragma once

#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/view/FontMeasurer.h"

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

namespace kestrix {

class MetalSurface;
class MetalTerminalRenderer;

// What a TerminalView takes from its surroundings. Every member may stay empty: the view then uses
// the monotonic clock, Qt's font metrics, its own queue on the main loop and the widget's device
// pixel ratio, and the system's GPU renderer. Tests fill them to control time, fonts, deferred work,
// the backing scale and whether a GPU renderer can be made.
struct TerminalViewEnvironment {
    // Monotonic time in nanoseconds.
    std::function<uint64_t()> uptimeNs;
    std::shared_ptr<const FontMeasurer> fontMeasurer;
    // The main queue; the view does not own it and it must outlive the view.
    TaskQueue *mainQueue = nullptr;
    // Device pixels per device-independent pixel.
    std::function<double()> backingScale;
    // Makes the GPU renderer of the view for its GL widget; throws `MetalError` when it cannot.
    std::function<std::unique_ptr<MetalTerminalRenderer>(QObject *view, MetalSurface *surface)> makeMetalRenderer;
};

} // namespace kestrix
