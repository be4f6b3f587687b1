#pragma once

#include <cstdint>

namespace kestrix {

// An inline image anchored on a line. The graphics code creates images and attaches them to lines;
// the screen model only stores, tests for and drops them.
class TerminalImage {
public:
    virtual ~TerminalImage() = default;

    virtual int64_t pixelWidth() const = 0;
    virtual int64_t pixelHeight() const = 0;
    virtual int64_t col() const = 0;
    virtual void setCol(int64_t col) = 0;
};

} // namespace kestrix
