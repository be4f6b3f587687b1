#include "Kestrix/rendering/DecorationStroke.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

double decorationLineWidth(double fontLineThickness, double scale)
{
    const double s = usableScale(scale);
    const double snapped = roundHalfAwayFromZero(fontLineThickness * s) / s;
    return snapped > 0.5 ? snapped : 0.5;
}

double decorationLength(double cellWidth, int64_t columns)
{
    // Far wider than any glyph; keeps the sampling of a curl bounded.
    constexpr double longest = 1 << 16;
    const double length = std::ceil(cellWidth * static_cast<double>(std::max<int64_t>(1, columns)));
    return length > 0 ? std::min(length, longest) : 0;
}

} // namespace kestrix
