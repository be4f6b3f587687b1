#include "Kestrix/view/FontMeasurer.h"

#include <QFontMetricsF>

namespace kestrix {

FontMeasurement FontMeasurer::measure(const QFont &font) const
{
    const QFontMetricsF metrics(font);
    return {metrics.ascent(), metrics.descent(), metrics.leading(), metrics.horizontalAdvance(QChar(u'W'))};
}

} // namespace kestrix
