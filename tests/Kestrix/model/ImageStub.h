#pragma once

#include "Kestrix/model/TerminalImage.h"

namespace kestrix {

// An image that only needs to exist: one pixel, always at the first column.
class ImageStub : public TerminalImage {
public:
    int64_t pixelWidth() const override { return 1; }
    int64_t pixelHeight() const override { return 1; }
    int64_t col() const override { return 0; }
    void setCol(int64_t) override {}
};

} // namespace kestrix
