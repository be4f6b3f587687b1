#include "Kestrix/rendering/BoxDrawingCanvas.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

// The bands a stroke of thickness t occupies across a cell of W × H pixels. The halvings are whole
// pixel halvings, so an odd leftover puts the extra pixel after the band.
struct Bands {
    Bands(int width, int height, int t)
        : lightTop(std::max(0, height - t) / 2)
        , lightBottom(std::min(lightTop + t, height))
        , lightLeft(std::max(0, width - t) / 2)
        , lightRight(std::min(lightLeft + t, width))
        , heavyTop(std::max(0, height - 2 * t) / 2)
        , heavyBottom(std::min(heavyTop + 2 * t, height))
        , heavyLeft(std::max(0, width - 2 * t) / 2)
        , heavyRight(std::min(heavyLeft + 2 * t, width))
        , doubleTop(std::max(0, lightTop - t))
        , doubleBottom(std::min(lightBottom + t, height))
        , doubleLeft(std::max(0, lightLeft - t))
        , doubleRight(std::min(lightRight + t, width))
    {
    }

    int lightTop, lightBottom, lightLeft, lightRight;
    int heavyTop, heavyBottom, heavyLeft, heavyRight;
    // The outer edges of a double line; its strokes lie between these and the light band.
    int doubleTop, doubleBottom, doubleLeft, doubleRight;
};

// How far the arms reach into the cell: the first arm of the pair covers 0 to `end`, the second
// `start` to the far edge.
struct Reach {
    int end;
    int start;
};

// Arms along one axis, and the two arms across it that they meet.
struct ArmPair {
    BoxArmWeight first;  // up or left
    BoxArmWeight second; // down or right
};

bool eitherIs(ArmPair pair, BoxArmWeight weight)
{
    return pair.first == weight || pair.second == weight;
}

// One rule for both axes: `along` is the pair being placed, `across` the pair it meets, and the
// reaches are the edges of the light band, the heavy band and the outer edges of a double line.
Reach armReach(ArmPair along, ArmPair across, Reach light, Reach heavy, Reach outer)
{
    if (eitherIs(across, BoxArmWeight::heavy)) {
        return heavy;
    }
    if (across.first == across.second && along.first != along.second) {
        if (across.first == BoxArmWeight::none) {
            return light;
        }
        // A half line that ends on a crossing stroke stops at its near edge.
        return {light.start, light.end};
    }
    if (eitherIs(across, BoxArmWeight::doubled)) {
        return outer;
    }
    return light;
}

struct DashSpan {
    int start;
    int end;
};

struct DashLayout {
    std::array<DashSpan, 4> dashes{};
    int count = 0;
};

// n dashes share the length minus n gaps; the leftover pixels lengthen the first dashes. A
// horizontal line starts half a gap in, so the pattern runs on evenly into the next cell; a
// vertical one starts at the top and leaves the whole gap below its last dash.
DashLayout layOutDashes(int length, int count, int gapCap, BoxDashDirection direction)
{
    DashLayout layout;
    const int gap = std::min(length / (2 * count), gapCap);
    const int dashTotal = length - count * gap;
    const int dashLength = dashTotal / count;
    const int longerDashes = dashTotal % count;
    int start = direction == BoxDashDirection::horizontal ? gap / 2 : 0;
    for (int i = 0; i < count && i < static_cast<int>(layout.dashes.size()); ++i) {
        const int end = start + dashLength + (i < longerDashes ? 1 : 0);
        layout.dashes[layout.count++] = {start, end};
        start = end + gap;
    }
    return layout;
}

} // namespace

BoxDrawingCanvas::BoxDrawingCanvas(double width, double height, double scale)
    : glyph_(wholePixels(width, usableScale(scale)), wholePixels(height, usableScale(scale)),
             usableScale(scale))
    , minimumThicknessPx_(wholePixels(1.0, usableScale(scale)))
{
}

int BoxDrawingCanvas::lightThickness(int baseThickness) const
{
    constexpr int thickest = 1 << 20;
    return std::clamp(baseThickness, minimumThicknessPx_, thickest);
}

void BoxDrawingCanvas::fillPixelRect(int x0, int y0, int x1, int y1)
{
    const PixelRect clamped{std::clamp(x0, 0, widthPx()), std::clamp(y0, 0, heightPx()),
                            std::clamp(x1, 0, widthPx()), std::clamp(y1, 0, heightPx())};
    if (!clamped.isEmpty()) {
        glyph_.addRect(clamped);
    }
}

void BoxDrawingCanvas::fillHorizontalBar(int x0, int x1, int y, int thickness)
{
    fillPixelRect(x0, y, x1, y + thickness);
}

void BoxDrawingCanvas::fillVerticalBar(int y0, int y1, int x, int thickness)
{
    fillPixelRect(x, y0, x + thickness, y1);
}

void BoxDrawingCanvas::drawArms(BoxArmDescriptor descriptor, int baseThickness)
{
    using enum BoxArmWeight;
    const int t = lightThickness(baseThickness);
    const int width = widthPx();
    const int height = heightPx();
    const Bands b(width, height, t);
    const BoxArms arms = BoxArms::fromDescriptor(descriptor);

    const ArmPair vertical{arms.up, arms.down};
    const ArmPair horizontal{arms.left, arms.right};
    // Up ends at `end`, down starts at `start`.
    const Reach upDown = armReach(vertical, horizontal, {b.lightBottom, b.lightTop},
                                  {b.heavyBottom, b.heavyTop}, {b.doubleBottom, b.doubleTop});
    // Left ends at `end`, right starts at `start`.
    const Reach leftRight = armReach(horizontal, vertical, {b.lightRight, b.lightLeft},
                                     {b.heavyRight, b.heavyLeft}, {b.doubleRight, b.doubleLeft});

    // The inner stroke of a double arm stops where the inner stroke of a double neighbour begins.
    switch (arms.up) {
    case light:
        fillPixelRect(b.lightLeft, 0, b.lightRight, upDown.end);
        break;
    case heavy:
        fillPixelRect(b.heavyLeft, 0, b.heavyRight, upDown.end);
        break;
    case doubled:
        fillPixelRect(b.doubleLeft, 0, b.lightLeft, arms.left == doubled ? b.lightTop : upDown.end);
        fillPixelRect(b.lightRight, 0, b.doubleRight, arms.right == doubled ? b.lightTop : upDown.end);
        break;
    case none:
        break;
    }
    switch (arms.right) {
    case light:
        fillPixelRect(leftRight.start, b.lightTop, width, b.lightBottom);
        break;
    case heavy:
        fillPixelRect(leftRight.start, b.heavyTop, width, b.heavyBottom);
        break;
    case doubled:
        fillPixelRect(arms.up == doubled ? b.lightRight : leftRight.start, b.doubleTop, width, b.lightTop);
        fillPixelRect(arms.down == doubled ? b.lightRight : leftRight.start, b.lightBottom, width,
                      b.doubleBottom);
        break;
    case none:
        break;
    }
    switch (arms.down) {
    case light:
        fillPixelRect(b.lightLeft, upDown.start, b.lightRight, height);
        break;
    case heavy:
        fillPixelRect(b.heavyLeft, upDown.start, b.heavyRight, height);
        break;
    case doubled:
        fillPixelRect(b.doubleLeft, arms.left == doubled ? b.lightBottom : upDown.start, b.lightLeft, height);
        fillPixelRect(b.lightRight, arms.right == doubled ? b.lightBottom : upDown.start, b.doubleRight,
                      height);
        break;
    case none:
        break;
    }
    switch (arms.left) {
    case light:
        fillPixelRect(0, b.lightTop, leftRight.end, b.lightBottom);
        break;
    case heavy:
        fillPixelRect(0, b.heavyTop, leftRight.end, b.heavyBottom);
        break;
    case doubled:
        fillPixelRect(0, b.doubleTop, arms.up == doubled ? b.lightLeft : leftRight.end, b.lightTop);
        fillPixelRect(0, b.lightBottom, arms.down == doubled ? b.lightLeft : leftRight.end, b.doubleBottom);
        break;
    case none:
        break;
    }
}

void BoxDrawingCanvas::drawHorizontalDashes(int count, int thickness, int gapCap, int fallbackThickness)
{
    const int length = widthPx();
    if (count < 1 || length < 2 * count) {
        const int solid = std::max(1, fallbackThickness);
        fillHorizontalBar(0, length, std::max(0, heightPx() - solid) / 2, solid);
        return;
    }
    const int y = std::max(0, heightPx() - thickness) / 2;
    const DashLayout layout = layOutDashes(length, count, gapCap, BoxDashDirection::horizontal);
    for (int i = 0; i < layout.count; ++i) {
        fillHorizontalBar(layout.dashes[i].start, layout.dashes[i].end, y, thickness);
    }
}

void BoxDrawingCanvas::drawVerticalDashes(int count, int thickness, int gapCap, int fallbackThickness)
{
    const int length = heightPx();
    if (count < 1 || length < 2 * count) {
        const int solid = std::max(1, fallbackThickness);
        fillVerticalBar(0, length, std::max(0, widthPx() - solid) / 2, solid);
        return;
    }
    const int x = std::max(0, widthPx() - thickness) / 2;
    const DashLayout layout = layOutDashes(length, count, gapCap, BoxDashDirection::vertical);
    for (int i = 0; i < layout.count; ++i) {
        fillVerticalBar(layout.dashes[i].start, layout.dashes[i].end, x, thickness);
    }
}

void BoxDrawingCanvas::drawRoundedCorner(BoxCorner corner, int thickness)
{
    const int t = thickness;
    const int width = widthPx();
    const int height = heightPx();
    const Bands b(width, height, t);
    const double centreX = b.lightLeft + t / 2.0;
    const double centreY = b.lightTop + t / 2.0;
    const double shorterSide = std::min(width, height);
    const double radius = std::min(0.3 * shorterSide, std::max(0.0, shorterSide / 2 - t / 2.0));
    const bool towardsRight = corner.horizontal == BoxCornerHorizontalArm::right;
    const bool towardsDown = corner.vertical == BoxCornerVerticalArm::down;
    const PointF arcCentre{centreX + (towardsRight ? radius : -radius),
                           centreY + (towardsDown ? radius : -radius)};

    // The straight parts run from the edges to the arc's tangent points, rounded towards the arc.
    if (towardsDown) {
        fillVerticalBar(static_cast<int>(std::floor(centreY + radius)), height, b.lightLeft, t);
    } else {
        fillVerticalBar(0, static_cast<int>(std::ceil(centreY - radius)), b.lightLeft, t);
    }
    if (towardsRight) {
        fillHorizontalBar(static_cast<int>(std::floor(centreX + radius)), width, b.lightTop, t);
    } else {
        fillHorizontalBar(0, static_cast<int>(std::ceil(centreX - radius)), b.lightTop, t);
    }

    // The quarter of the ring between the two tangent points lies on the far side of its centre.
    const double clipLeft = towardsRight ? 0.0 : arcCentre.x;
    const double clipRight = towardsRight ? arcCentre.x : width;
    const double clipTop = towardsDown ? 0.0 : arcCentre.y;
    const double clipBottom = towardsDown ? arcCentre.y : height;
    const double innerRadius = radius - t / 2.0;
    glyph_.setArc({arcCentre, radius + t / 2.0, innerRadius > 0 ? innerRadius : 0.0,
                   RectF{clipLeft, clipTop, clipRight - clipLeft, clipBottom - clipTop}});
}

namespace {

// Diagonals reach slightly past the corners so that they join the diagonals of the next cells.
PointF diagonalOverhang(int width, int height)
{
    const double w = width;
    const double h = height;
    return {0.5 * std::min(w / h, 1.0), 0.5 * std::min(h / w, 1.0)};
}

double diagonalWidth(int thickness)
{
    return thickness >= 2 ? thickness + 1.0 : 1.0;
}

} // namespace

void BoxDrawingCanvas::drawRisingDiagonal(int thickness)
{
    const PointF over = diagonalOverhang(widthPx(), heightPx());
    glyph_.addLine({{widthPx() + over.x, -over.y}, {-over.x, heightPx() + over.y}, diagonalWidth(thickness)});
}

void BoxDrawingCanvas::drawFallingDiagonal(int thickness)
{
    const PointF over = diagonalOverhang(widthPx(), heightPx());
    glyph_.addLine({{-over.x, -over.y}, {widthPx() + over.x, heightPx() + over.y}, diagonalWidth(thickness)});
}

} // namespace kestrix
