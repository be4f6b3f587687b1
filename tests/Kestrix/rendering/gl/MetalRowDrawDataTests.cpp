#include "Kestrix/rendering/BlockElementRect.h"
#include "Kestrix/rendering/BoxDrawingPainter.h"
#include "Kestrix/rendering/StrikethroughGeometry.h"
#include "Kestrix/rendering/UnderlineGeometry.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/MetalView.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

constexpr int cols = 16;
constexpr double cellWidth = 9;
constexpr double cellHeight = 18;
constexpr double baselineOffset = 4;
const QColor background(16, 20, 28);
const QColor foreground(220, 220, 210);

std::shared_ptr<const TextAttributes> attributes(QColor fg, QColor bg)
{
    auto made = std::make_shared<TextAttributes>();
    made->font = QFont(QStringLiteral("DejaVu Sans Mono"));
    made->font.setPixelSize(15);
    made->foreground = fg;
    made->background = bg;
    return made;
}

SegmentRun run(std::shared_ptr<const TextAttributes> style, int64_t firstColumn, const QString &text,
               int64_t columnWidth = 1)
{
    SegmentRun made{std::move(style), {}};
    int64_t column = firstColumn;
    for (const uint scalar : text.toUcs4()) {
        made.cells.push_back({column, QString::fromUcs4(reinterpret_cast<const char32_t *>(&scalar), 1)});
        column += columnWidth;
    }
    return made;
}

// Three rows: plain and coloured text, a selection colour, a wide colour emoji, a box line and a lower
// half block; a background that runs to the last column; a single and a dashed underline and a
// strikethrough.
std::vector<RowSegments> fixture()
{
    const auto plain = attributes(foreground, background);
    const auto red = attributes(QColor(240, 80, 60), QColor(40, 60, 90));
    auto selected = std::make_shared<TextAttributes>(*plain);
    selected->selectionBackgroundColor = QColor(80, 80, 160);
    auto underlined = std::make_shared<TextAttributes>(*plain);
    underlined->underlineStyleValue = underlineStyleValue(UnderlineStyle::single);
    underlined->underlineColor = QColor(90, 200, 250);
    auto dashed = std::make_shared<TextAttributes>(*plain);
    dashed->underlineStyleValue = underlineStyleValue(UnderlineStyle::dashed);
    dashed->kestrixUnderlineStyle = static_cast<int64_t>(UnderlineStyle::dashed);
    auto struck = std::make_shared<TextAttributes>(*red);
    struck->strikethroughStyleValue = decorationStyleBits::single;
    std::vector<RowSegments> rows(3);
    rows[0].segments.push_back({0, 1, 3, {run(plain, 0, "Hello,"), run(red, 6, "gpq"), run(selected, 9, "Wy")}});
    rows[0].segments.push_back({11, 2, 1, {run(plain, 11, QStringLiteral("😀"), 2)}});
    rows[0].boxDrawings.push_back({13, 1, 0x2500, QColor(120, 200, 120)});
    rows[0].blockElements.push_back({14, 1, 0x2584, QColor(200, 200, 90), *blockElementRects(0x2584)});
    rows[1].segments.push_back({0, 1, 2, {run(plain, 0, "{[|]}"), run(red, 5, "           ")}});
    rows[2].segments.push_back({0, 1, 3, {run(underlined, 0, "under"), run(dashed, 5, "dashes"), run(struck, 11, "gone")}});
    return rows;
}

QFont normalFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(15);
    return font;
}

// The QPainter path's decoration strokes: aliased pens, dashes counted in pen widths.
void paintDecorations(QPainter &painter, const RowSegments &row, double baseline)
{
    const QFontMetricsF normal(normalFont());
    std::vector<DecorationStroke> strokes;
    for (const ViewLineSegment &segment : row.segments) {
        for (const SegmentRun &run : segment.runs) {
            const TextAttributes &attributes = *run.attributes;
            std::vector<std::pair<DecorationStroke, QColor>> coloured;
            strokes.clear();
            if (attributes.underlineStyleValue) {
                const UnderlineGeometry geometry(normal.lineWidth(), normal.underlinePos(), cellWidth, 1);
                for (const SegmentCell &cell : run.cells) {
                    geometry.appendStrokes(underlineStyle(attributes), {cell.column * cellWidth, baseline},
                                           segment.columnWidth, strokes);
                }
                for (const DecorationStroke &stroke : strokes) {
                    coloured.emplace_back(stroke, attributes.underlineColor.value_or(foreground));
                }
            }
            if (attributes.strikethroughStyleValue) {
                strokes.clear();
                const QFontMetricsF runFont(attributes.font);
                const StrikethroughGeometry geometry(runFont.lineWidth(), runFont.xHeight(), cellWidth, 1);
                for (const SegmentCell &cell : run.cells) {
                    geometry.appendStrokes(*attributes.strikethroughStyleValue, {cell.column * cellWidth, baseline},
                                           segment.columnWidth, strokes);
                }
                for (const DecorationStroke &stroke : strokes) {
                    coloured.emplace_back(stroke, attributes.strikethroughColor.value_or(foreground));
                }
            }
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, false);
            for (const auto &[stroke, color] : coloured) {
                QPen pen(color, stroke.width);
                pen.setCapStyle(stroke.cap == StrokeCap::round ? Qt::RoundCap : Qt::FlatCap);
                if (stroke.isDashed()) {
                    pen.setDashPattern({stroke.dash / stroke.width, stroke.gap / stroke.width});
                }
                painter.setPen(pen);
                QPolygonF line;
                for (const PointF point : stroke.points) {
                    line << QPointF(point.x, point.y);
                }
                painter.drawPolyline(line);
            }
            painter.restore();
        }
    }
}

// What the QPainter path draws for these rows.
QImage paintedByQPainter(const std::vector<RowSegments> &rows, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    CellTextPainter text({cellWidth, cellHeight, baselineOffset});
    for (size_t r = 0; r < rows.size(); ++r) {
        const double rowTop = static_cast<double>(r) * cellHeight;
        for (const ViewLineSegment &segment : rows[r].segments) {
            for (const SegmentRun &run : segment.runs) {
                const int64_t start = run.cells.front().column;
                const int64_t end = run.cells.back().column + segment.columnWidth;
                const QColor color = run.attributes->selectionBackgroundColor.value_or(run.attributes->background);
                QRectF rect(start * cellWidth, rowTop, (end - start) * cellWidth, cellHeight);
                if (end >= cols && color == background) {
                    rect.setRight(size.width());
                }
                painter.fillRect(rect, color);
            }
        }
        for (const BoxDrawingRenderItem &item : rows[r].boxDrawings) {
            const BoxDrawingGlyph glyph = drawBoxDrawingCharacter(
                item.code, boxDrawingBaseThickness(QFontMetricsF(normalFont()).lineWidth(), 1), cellWidth,
                                                                  cellHeight, 1);
            painter.save();
            painter.translate(item.column * cellWidth, rowTop);
            paintBoxDrawingGlyph(painter, glyph, item.color);
            painter.restore();
        }
        for (const BlockElementRenderItem &item : rows[r].blockElements) {
            const RectF cell{item.column * cellWidth, rowTop, cellWidth, cellHeight};
            for (const BlockElementRect &rect : item.rects) {
                const std::optional<RectF> fill = blockElementFillRect(rect, cell, 1, false);
                painter.fillRect(QRectF(fill->x, fill->y, fill->width, fill->height), item.color);
            }
        }
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (const ViewLineSegment &segment : rows[r].segments) {
            for (const SegmentRun &run : segment.runs) {
                painter.setPen(run.attributes->foreground);
                text.drawRun(painter, run.attributes->font, run.cells, segment.columnWidth,
                             rowTop + cellHeight - baselineOffset);
            }
        }
        paintDecorations(painter, rows[r], rowTop + cellHeight - baselineOffset);
    }
    return image;
}

TEST(MetalRowDrawData, RowsDrawnOnTheGpuMatchTheQPainterPath)
{
    const QSize size(cols * 9 + 5, 58);
    MetalView view;
    view.resize(size);
    MetalTerminalRenderer renderer(nullptr, &view);
    view.setDelegate(&renderer);
    view.grabFramebuffer();
    ASSERT_TRUE(renderer.isReady());
    renderer.setClearColor(background);
    const std::vector<RowSegments> rows = fixture();
    renderer.setFrameBuilder([&](double scale) {
        CellTextPainter text({cellWidth, cellHeight, baselineOffset});
        FrameDrawData frame;
        for (size_t r = 0; r < rows.size(); ++r) {
            MetalRowGeometry geometry;
            geometry.screenRow = static_cast<int64_t>(r);
            geometry.cellWidth = cellWidth;
            geometry.cellHeight = cellHeight;
            geometry.baselineOffset = baselineOffset;
            geometry.viewWidth = size.width();
            geometry.viewHeight = size.height();
            geometry.scale = scale;
            geometry.cols = cols;
            geometry.nativeBackground = background;
            geometry.nativeForeground = foreground;
            geometry.underlineThickness = QFontMetricsF(normalFont()).lineWidth();
            geometry.underlinePosition = QFontMetricsF(normalFont()).underlinePos();
            geometry.antiAliasBlockGlyphs = false;
            RowDrawData row = renderer.buildRowDrawData(rows[r], geometry, text);
            for (auto [to, from] : {std::pair{&frame.backgroundCells, &row.backgroundCells},
                                    std::pair{&frame.decorationCells, &row.decorationCells}}) {
                to->insert(to->end(), from->begin(), from->end());
            }
            frame.glyphCellsGray.insert(frame.glyphCellsGray.end(), row.glyphCellsGray.begin(), row.glyphCellsGray.end());
            frame.glyphCellsColor.insert(frame.glyphCellsColor.end(), row.glyphCellsColor.begin(),
                                         row.glyphCellsColor.end());
            frame.decorationStrokeCells.insert(frame.decorationStrokeCells.end(), row.decorationStrokeCells.begin(),
                                               row.decorationStrokeCells.end());
        }
        return DrawData{std::move(frame), {}, {}, {}};
    });
    const QImage drawn = view.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const QImage expected = paintedByQPainter(rows, size);

    double total = 0;
    int worst = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            const int difference = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                             std::abs(qBlue(a) - qBlue(b))});
            total += difference;
            worst = std::max(worst, difference);
        }
    }
    // Both place the same glyph bitmaps on the same whole pixels: no pixel is more than a rounding
    // step apart, and on average they agree to within a tenth of a step.
    const double mean = total / (size.width() * size.height());
    EXPECT_LE(worst, 2);
    EXPECT_LT(mean, 0.1);
    // Right margin of the first row (its last cell's background is not the default): the frame colour.
    EXPECT_EQ(drawn.pixel(size.width() - 2, 2), background.rgb());
    // Second row: the red run's background stops at column 16, then the margin.
    EXPECT_EQ(drawn.pixel(15 * 9 + 4, 30), QColor(40, 60, 90).rgb());
    EXPECT_EQ(drawn.pixel(size.width() - 2, 30), background.rgb());
    // The selection colour replaces the background; the block fills its lower half.
    EXPECT_EQ(drawn.pixel(9 * 9 + 1, 1), QColor(80, 80, 160).rgb());
    EXPECT_EQ(drawn.pixel(14 * 9 + 4, 16), QColor(200, 200, 90).rgb());
    EXPECT_EQ(drawn.pixel(14 * 9 + 4, 16), expected.pixel(14 * 9 + 4, 16));
    EXPECT_FALSE(renderer.atlasInvalidatedDuringBuild);
}

} // namespace
} // namespace kestrix
