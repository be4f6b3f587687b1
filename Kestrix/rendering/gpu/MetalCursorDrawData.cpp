#include "Kestrix/rendering/gpu/MetalCursorDrawData.h"

#include <algorithm>

namespace kestrix {

namespace {

bool blinks(CursorStyle style)
{
    return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline || style == CursorStyle::blinkBar;
}

void appendQuad(std::vector<ColorVertex> &vertices, float x0, float y0, float x1, float y1, const GpuColor &color)
{
    const auto corner = [&](float x, float y) { return ColorVertex{{x, y}, {0, 0}, color}; };
    vertices.insert(vertices.end(), {corner(x0, y0), corner(x1, y0), corner(x0, y1), corner(x1, y0), corner(x1, y1),
                                     corner(x0, y1)});
}

bool visible(const MetalCursorState &s)
{
    return !s.hidden && s.line >= 0 && s.line >= s.firstVisible && s.line <= s.lastVisible && s.line < s.lineCount &&
           s.column >= 0 && s.column < s.cols && (!blinks(s.style) || s.blinkOn);
}

} // namespace

MetalCursorDrawData buildCursorDrawData(const MetalCursorState &s)
{
    MetalCursorDrawData data;
    if (!visible(s)) {
        return data;
    }
    const double factor = s.renderMode == BufferLine::RenderLineMode::single ? 1 : 2;
    const double rowBottom = s.viewHeight - static_cast<double>(s.line - s.yDisp + 1) * s.cellHeight;
    const double columns = static_cast<double>(std::max<int64_t>(1, s.cellColumns));
    const auto x0 = static_cast<float>(static_cast<double>(s.column) * s.cellWidth * s.scale * factor);
    const auto x1 = static_cast<float>(x0 + s.cellWidth * s.scale * factor * columns);
    const auto y0 = static_cast<float>(rowBottom * s.scale);
    const auto y1 = static_cast<float>(y0 + s.cellHeight * s.scale);
    if (!s.focused) {
        const auto t = static_cast<float>(std::max(1.0, 3 * s.scale));
        appendQuad(data.colorVertices, x0, y0, x1, y0 + t, s.color);
        appendQuad(data.colorVertices, x0, y1 - t, x1, y1, s.color);
        appendQuad(data.colorVertices, x0, y0 + t, x0 + t, y1 - t, s.color);
        appendQuad(data.colorVertices, x1 - t, y0 + t, x1, y1 - t, s.color);
        return data;
    }
    const auto t = static_cast<float>(std::max(1.0, 2 * s.scale));
    switch (s.style) {
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        appendQuad(data.colorVertices, x0, y0, x1, y1, s.color);
        data.blockRect = MetalCursorRect{x0, y0, x1, y1};
        break;
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        appendQuad(data.colorVertices, x0, y0, x1, y0 + t, s.color);
        break;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        appendQuad(data.colorVertices, x0, y0, x0 + t, y1, s.color);
        break;
    }
    return data;
}

} // namespace kestrix
