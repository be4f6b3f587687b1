#pragma once

#include "Kestrix/rendering/RowSegments.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QRectF>

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QPainter;

namespace kestrix {

// Draws cell text on the grid. A scalar the font has is one glyph of that font; any other text (a
// cluster with marks or selectors, or a character only a fallback font has) is shaped on its own, so
// whatever it shapes to stays inside its cell. Glyphs are placed from the cell's column, never from
// the font's advances; in cells of two or more columns the text is fitted into the slot.
class CellTextPainter {
public:
    struct Grid {
        double cellWidth = 0;
        double cellHeight = 0;
        // The normal font's baseline height above the bottom of a cell.
        double baselineOffset = 0;
    };

    // One glyph where it lands: its origin on the baseline (points, y-down) and the factor it is drawn
    // at about that origin (below 1 only for text fitted into a wide slot).
    struct PlacedGlyph {
        QRawFont font;
        quint32 glyph = 0;
        QPointF origin;
        double scale = 1;
    };

    explicit CellTextPainter(Grid grid);

    const Grid &grid() const { return grid_; }

    // The cells of one run; `baseline` is the row's baseline and every cell spans `columnWidth`.
    void drawRun(QPainter &painter, const QFont &font, std::span<const SegmentCell> cells,
                 int64_t columnWidth, double baseline);
    // One cell's text with its origin on the baseline at `origin`.
    void drawCell(QPainter &painter, const QFont &font, const QString &text, QPointF origin,
                  int64_t columnWidth);
    // Where the glyphs of those cells land; the GPU renderer places its quads from this, so both
    // renderers put every glyph in the same place.
    std::vector<PlacedGlyph> layOutRun(const QFont &font, std::span<const SegmentCell> cells, int64_t columnWidth,
                                       double baseline);
    // Where the glyphs of `drawCell` land.
    std::vector<PlacedGlyph> layOutText(const QFont &font, const QString &text, QPointF origin, int64_t columnWidth);

private:
    // Text shaped to glyphs whose positions start from an origin on the baseline.
    struct Shaped {
        QList<QGlyphRun> runs;
        double advance = 0;
        QRectF ink;
    };

    // A font as drawn, with the direct glyphs of the ASCII characters looked up so far.
    struct FontEntry {
        QFont font;
        QRawFont raw;
        std::array<quint32, 0x80> asciiGlyphs{};
        std::bitset<0x80> asciiKnown;
    };

    // Appends the glyphs of one cell's text with its origin on the baseline at `origin`.
    void layOutCell(std::vector<PlacedGlyph> &placed, const QFont &font, const QString &text, QPointF origin,
                    int64_t columnWidth);
    static void paintGlyphs(QPainter &painter, const std::vector<PlacedGlyph> &glyphs);
    // Found by comparing fonts, which for the copies of one font compares one pointer, rather than by
    // building the font's key for every run.
    FontEntry &fontEntry(const QFont &font);
    const QRawFont &rawFont(const QFont &font) { return fontEntry(font).raw; }
    const Shaped &shape(const QFont &font, const QString &text);
    // The single glyph of a scalar the font has, or 0.
    static quint32 directGlyph(const QRawFont &font, const QString &text);
    static quint32 directGlyph(FontEntry &entry, const QString &text);
    // The font for text that asks for the picture form: the face the system falls back to for
    // emoji first, then the font itself.
    QFont emojiPresentationFont(const QFont &font);

    Grid grid_;
    // Entries stay where they are while later ones are added.
    std::vector<std::unique_ptr<FontEntry>> fonts_;
    QHash<QString, Shaped> shaped_;
    std::optional<QString> emojiFamily_;
};

} // namespace kestrix
