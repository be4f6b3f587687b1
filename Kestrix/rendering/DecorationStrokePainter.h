#pragma once

#include "Kestrix/rendering/DecorationStroke.h"

class QColor;
class QPainter;

namespace kestrix {

// Strokes a decoration line without anti-aliasing, the one way both renderers draw it.
void paintDecorationStroke(QPainter &painter, const DecorationStroke &stroke, const QColor &color);

} // namespace kestrix
