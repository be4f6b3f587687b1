#pragma once

#include <QFont>

namespace kestrix {

// The metrics of a font that the cell size is made from, in device-independent pixels.
struct FontMeasurement {
    double ascent = 0;
    double descent = 0;
    double leading = 0;
    // The advance of "W", the widest letter of a monospaced face.
    double advanceOfW = 0;

    bool operator==(const FontMeasurement &) const = default;
};

// Measures fonts for the terminal view. The default asks Qt; tests give fixed metrics.
class FontMeasurer {
public:
    virtual ~FontMeasurer() = default;
    virtual FontMeasurement measure(const QFont &font) const;
};

} // namespace kestrix
