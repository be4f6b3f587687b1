#include "Kestrix/rendering/DecorationStroke.h"

namespace kestrix {

double decorationLineWidth(double fontLineThickness, double scale)
{
    const double s = usableScale(scale);
    const double snapped = roundHalfAwayFromZero(fontLineThickness * s) / s;
    return snapped > 0.5 ? snapped : 0.5;
}

} // namespace kestrix
