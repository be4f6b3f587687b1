#include "Kestrix/view/ColorConversions.h"

namespace kestrix {

QColor makeNSColor(const Color &color)
{
    return QColor::fromRgba64(color.red, color.green, color.blue, 0xffff);
}

Color colorFromNSColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    if (!rgb.isValid()) {
        return Color::defaultForeground();
    }
    // The 16-bit channels are exact: no float round trip that could lose the last unit.
    const QRgba64 channels = rgb.rgba64();
    return {channels.red(), channels.green(), channels.blue()};
}

QColor inverseColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    if (!rgb.isValid()) {
        return color;
    }
    return QColor::fromRgba64(0xffff - rgb.rgba64().red(), 0xffff - rgb.rgba64().green(),
                              0xffff - rgb.rgba64().blue(), rgb.rgba64().alpha());
}

QColor averaged(const QColor &color, const QColor &with)
{
    const QColor first = color.toRgb();
    const QColor second = with.toRgb();
    if (!first.isValid() || !second.isValid()) {
        return color;
    }
    const QRgba64 a = first.rgba64();
    const QRgba64 b = second.rgba64();
    auto mean = [](uint16_t x, uint16_t y) { return static_cast<uint16_t>((uint32_t{x} + y) / 2); };
    return QColor::fromRgba64(mean(a.red(), b.red()), mean(a.green(), b.green()), mean(a.blue(), b.blue()),
                              a.alpha());
}

} // namespace kestrix
