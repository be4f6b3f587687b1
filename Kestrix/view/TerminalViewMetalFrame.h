#pragma once

#include "Kestrix/rendering/gpu/MetalFrameSource.h"

namespace kestrix {

class TerminalView;

// What the GPU renderer builds a frame of this view from: its terminal, cell grid, fonts, colours,
// caret and row segments. `dirtyLines` are the buffer lines the view saw change since the last frame.
MetalFrameSource makeMetalFrameSource(TerminalView &view, std::optional<LineIndexRange> dirtyLines = std::nullopt);

// A summary of the view's drawing state beyond the lines; equal while rows would be drawn alike.
uint64_t metalAppearance(const TerminalView &view);

} // namespace kestrix
