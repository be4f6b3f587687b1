#include "Kestrix/rendering/BoxDrawingGlyph.h"

#include "Kestrix/rendering/BoxDrawingCanvas.h"

#include <algorithm>

namespace kestrix {

BoxDrawingGlyph::BoxDrawingGlyph(int widthPx, int heightPx, double scale)
    : widthPx_(widthPx)
    , heightPx_(heightPx)
    , scale_(scale)
{
}

RectF BoxDrawingGlyph::rectInPoints(const PixelRect &rect, PointF cellOrigin) const
{
    return {cellOrigin.x + rect.x0 / scale_, cellOrigin.y + rect.y0 / scale_, (rect.x1 - rect.x0) / scale_,
            (rect.y1 - rect.y0) / scale_};
}

void BoxDrawingGlyph::addRect(const PixelRect &rect)
{
    if (rectCount_ < rects_.size()) {
        rects_[rectCount_++] = rect;
    }
}

void BoxDrawingGlyph::addLine(const BoxDrawingLine &line)
{
    if (lineCount_ < lines_.size()) {
        lines_[lineCount_++] = line;
    }
}

namespace {

int dashGapCap(BoxDashGapCap cap, int light, int heavy)
{
    switch (cap) {
    case BoxDashGapCap::lightButAtLeastFour:
        return std::max(4, light);
    case BoxDashGapCap::light:
        return light;
    case BoxDashGapCap::heavy:
        return heavy;
    }
    return light;
}

} // namespace

BoxDrawingGlyph drawBoxDrawingCharacter(uint32_t codePoint, int baseThicknessPx, double width, double height,
                                        double scale)
{
    BoxDrawingCanvas canvas(width, height, scale);
    const int light = canvas.lightThickness(baseThicknessPx);
    const int heavy = 2 * light;
    const std::optional<BoxDrawingEntry> entry = boxDrawingEntry(codePoint);
    if (!entry) {
        return canvas.glyph();
    }
    switch (entry->kind) {
    case BoxDrawingKind::arms:
        canvas.drawArms(entry->arms, baseThicknessPx);
        break;
    case BoxDrawingKind::dashes:
        if (const std::optional<BoxDashes> dashes = boxDashes(codePoint)) {
            const int thickness = dashes->weight == BoxStrokeWeight::light ? light : heavy;
            const int gapCap = dashGapCap(dashes->gapCap, light, heavy);
            if (dashes->direction == BoxDashDirection::horizontal) {
                canvas.drawHorizontalDashes(dashes->count, thickness, gapCap, baseThicknessPx);
            } else {
                canvas.drawVerticalDashes(dashes->count, thickness, gapCap, baseThicknessPx);
            }
        }
        break;
    case BoxDrawingKind::corner:
        if (const std::optional<BoxCorner> corner = boxCorner(codePoint)) {
            canvas.drawRoundedCorner(*corner, light);
        }
        break;
    case BoxDrawingKind::diagonal:
        if (const std::optional<BoxDiagonals> diagonals = boxDiagonals(codePoint)) {
            if (diagonals->rising) {
                canvas.drawRisingDiagonal(light);
            }
            if (diagonals->falling) {
                canvas.drawFallingDiagonal(light);
            }
        }
        break;
    }
    return canvas.glyph();
}

int boxDrawingBaseThickness(double underlineThickness, double scale)
{
    const double s = usableScale(scale);
    return std::max(wholePixels(1.0, s), wholePixels(underlineThickness * 1.35, s));
}

RectF boxDrawingCellRect(int64_t column, int columnWidth, double xOrigin, double rowTop, double cellWidth,
                         double cellHeight, double scale)
{
    const double s = usableScale(scale);
    const double widthPx = wholePixels(cellWidth, s);
    const double heightPx = wholePixels(cellHeight, s);
    const double x = (static_cast<double>(column) * widthPx + roundHalfAwayFromZero(xOrigin * s)) / s;
    const double y = roundHalfAwayFromZero(rowTop * s) / s;
    return {x, y, columnWidth * widthPx / s, heightPx / s};
}

} // namespace kestrix
