#pragma once

#include "Kestrix/model/Color.h"

#include <QColor>

namespace kestrix {

// The engine's 16-bit colour as an opaque sRGB QColor.
QColor makeNSColor(const Color &color);
// A QColor as the engine's colour: each sRGB channel times 65535, truncated; alpha is dropped. A
// colour that cannot be expressed in sRGB gives the default foreground.
Color colorFromNSColor(const QColor &color);
// (1 - red, 1 - green, 1 - blue) in sRGB, with the same alpha.
QColor inverseColor(const QColor &color);
// The mean of the two colours' channels, with the first one's alpha.
QColor averaged(const QColor &color, const QColor &with);

} // namespace kestrix
