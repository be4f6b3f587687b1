#include "Kestrix/rendering/CellTextPainter.h"

#include "Kestrix/rendering/GlyphSlotFit.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <unicode/uchar.h>

namespace kestrix {

namespace {

// Distinct cluster texts kept shaped; the table starts again when it fills, so hostile output cannot
// grow it without bound.
constexpr qsizetype shapedCacheLimit = 4096;

// Text with the emoji selector, or starting with a character shown as a picture by default.
bool wantsEmojiPresentation(const QString &text)
{
    if (text.contains(QChar(0xFE0E))) {
        return false;
    }
    if (text.contains(QChar(0xFE0F))) {
        return true;
    }
    const char32_t first = text.isEmpty() ? 0 : text.toUcs4().value(0);
    return u_hasBinaryProperty(static_cast<UChar32>(first), UCHAR_EMOJI_PRESENTATION) != 0;
}

RectF toRectF(const QRectF &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

CellTextPainter::CellTextPainter(Grid grid)
    : grid_(grid)
{
}

CellTextPainter::FontEntry &CellTextPainter::fontEntry(const QFont &font)
{
    for (const std::unique_ptr<FontEntry> &entry : fonts_) {
        if (entry->font == font) {
            return *entry;
        }
    }
    auto entry = std::make_unique<FontEntry>();
    entry->font = font;
    entry->raw = QRawFont::fromFont(font);
    fonts_.push_back(std::move(entry));
    return *fonts_.back();
}

quint32 CellTextPainter::directGlyph(FontEntry &entry, const QString &text)
{
    if (text.size() != 1 || text[0].unicode() >= 0x80) {
        return directGlyph(entry.raw, text);
    }
    const char16_t character = text[0].unicode();
    if (!entry.asciiKnown[character]) {
        entry.asciiGlyphs[character] = directGlyph(entry.raw, text);
        entry.asciiKnown.set(character);
    }
    return entry.asciiGlyphs[character];
}

quint32 CellTextPainter::directGlyph(const QRawFont &font, const QString &text)
{
    const bool oneScalar = text.size() == 1 || (text.size() == 2 && text[0].isHighSurrogate());
    if (!oneScalar || !font.isValid()) {
        return 0;
    }
    const char32_t scalar = text.size() == 1 ? text[0].unicode() : QChar::surrogateToUcs4(text[0], text[1]);
    if (!font.supportsCharacter(scalar)) {
        return 0;
    }
    const QList<quint32> glyphs = font.glyphIndexesForString(text);
    return glyphs.size() == 1 ? glyphs[0] : 0;
}

QFont CellTextPainter::emojiPresentationFont(const QFont &font)
{
    if (!emojiFamily_) {
        // Text faces cover some emoji in black and white; the picture form is the emoji face's.
        const QStringList families = QFontDatabase::families();
        const auto found = std::ranges::find_if(families, [](const QString &family) {
            return family.contains(QLatin1String("Emoji"), Qt::CaseInsensitive);
        });
        emojiFamily_ = found != families.end() ? *found : QString();
    }
    if (emojiFamily_->isEmpty()) {
        return font;
    }
    QFont preferring = font;
    preferring.setFamilies({*emojiFamily_, font.family()});
    return preferring;
}

const CellTextPainter::Shaped &CellTextPainter::shape(const QFont &font, const QString &text)
{
    const QString key = font.key() + QChar(0) + text;
    if (auto found = shaped_.constFind(key); found != shaped_.constEnd()) {
        return *found;
    }
    if (shaped_.size() >= shapedCacheLimit) {
        shaped_.clear();
    }
    Shaped shaped;
    const QRawFont &direct = rawFont(font);
    if (const quint32 glyph = directGlyph(direct, text)) {
        QGlyphRun run;
        run.setRawFont(direct);
        run.setGlyphIndexes({glyph});
        run.setPositions({QPointF(0, 0)});
        shaped.runs.push_back(run);
        shaped.advance = direct.advancesForGlyphIndexes(QList<quint32>{glyph}).value(0).x();
        shaped.ink = direct.boundingRect(glyph);
    } else {
        // Shaping finds fallback fonts for what the face lacks.
        const bool asksForPicture = wantsEmojiPresentation(text);
        QTextLayout layout(text, asksForPicture ? emojiPresentationFont(font) : font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        if (line.isValid()) {
            const double ascent = line.ascent();
            shaped.advance = line.naturalTextWidth();
            for (QGlyphRun run : layout.glyphRuns()) {
                QList<QPointF> positions = run.positions();
                const QList<quint32> glyphs = run.glyphIndexes();
                const QRawFont runFont = run.rawFont();
                for (qsizetype i = 0; i < positions.size(); ++i) {
                    positions[i].ry() -= ascent;
                    if (i < glyphs.size()) {
                        shaped.ink |= runFont.boundingRect(glyphs[i]).translated(positions[i]);
                    }
                }
                run.setPositions(positions);
                shaped.runs.push_back(run);
            }
        }
    }
    return *shaped_.insert(key, std::move(shaped));
}

void CellTextPainter::layOutCell(std::vector<PlacedGlyph> &placed, const QFont &font, const QString &text,
                                 QPointF origin, int64_t columnWidth)
{
    const Shaped &shaped = shape(font, text);
    if (shaped.runs.isEmpty()) {
        return;
    }
    const GlyphSlotFit fit = GlyphSlotFit::compute(shaped.advance, toRectF(shaped.ink),
                                                   {.columnWidth = columnWidth,
                                                    .cellWidth = grid_.cellWidth,
                                                    .cellHeight = grid_.cellHeight,
                                                    .baselineOffset = grid_.baselineOffset});
    const QPointF start = origin + QPointF(fit.dx, fit.dy);
    for (const QGlyphRun &run : shaped.runs) {
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const QRawFont runFont = run.rawFont();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            placed.push_back({runFont, glyphs[i], start + positions[i] * fit.scale, fit.scale});
        }
    }
}

std::vector<CellTextPainter::PlacedGlyph> CellTextPainter::layOutRun(const QFont &font,
                                                                     std::span<const SegmentCell> cells,
                                                                     int64_t columnWidth, double baseline)
{
    std::vector<PlacedGlyph> placed;
    placed.reserve(cells.size());
    FontEntry &direct = fontEntry(font);
    for (const SegmentCell &cell : cells) {
        const QPointF origin(static_cast<double>(cell.column) * grid_.cellWidth, baseline);
        const quint32 glyph = columnWidth == 1 ? directGlyph(direct, cell.text) : 0;
        if (glyph != 0) {
            placed.push_back({direct.raw, glyph, origin, 1});
        } else if (cell.text != QLatin1String(" ")) {
            layOutCell(placed, font, cell.text, origin, columnWidth);
        }
    }
    return placed;
}

std::vector<CellTextPainter::PlacedGlyph> CellTextPainter::layOutText(const QFont &font, const QString &text,
                                                                      QPointF origin, int64_t columnWidth)
{
    std::vector<PlacedGlyph> placed;
    layOutCell(placed, font, text, origin, columnWidth);
    return placed;
}

void CellTextPainter::drawCell(QPainter &painter, const QFont &font, const QString &text, QPointF origin,
                               int64_t columnWidth)
{
    paintGlyphs(painter, layOutText(font, text, origin, columnWidth));
}

void CellTextPainter::drawRun(QPainter &painter, const QFont &font, std::span<const SegmentCell> cells,
                              int64_t columnWidth, double baseline)
{
    paintGlyphs(painter, layOutRun(font, cells, columnWidth, baseline));
}

void CellTextPainter::paintGlyphs(QPainter &painter, const std::vector<PlacedGlyph> &placed)
{
    // Unscaled glyphs of one font go in one glyph run; a fitted glyph is drawn scaled about its origin.
    QGlyphRun batch;
    // The font of the glyphs gathered so far, compared without copying it out of the batch.
    const QRawFont *batchFont = nullptr;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    const auto flush = [&] {
        if (!glyphs.isEmpty()) {
            batch.setGlyphIndexes(glyphs);
            batch.setPositions(positions);
            painter.drawGlyphRun(QPointF(0, 0), batch);
            glyphs.clear();
            positions.clear();
        }
    };
    for (const PlacedGlyph &glyph : placed) {
        if (glyph.scale != 1) {
            flush();
            QGlyphRun single;
            single.setRawFont(glyph.font);
            single.setGlyphIndexes({glyph.glyph});
            single.setPositions({QPointF(0, 0)});
            painter.save();
            painter.translate(glyph.origin);
            painter.scale(glyph.scale, glyph.scale);
            painter.drawGlyphRun(QPointF(0, 0), single);
            painter.restore();
            continue;
        }
        if (!glyphs.isEmpty() && *batchFont != glyph.font) {
            flush();
        }
        if (glyphs.isEmpty()) {
            batch.setRawFont(glyph.font);
            batchFont = &glyph.font;
        }
        glyphs.push_back(glyph.glyph);
        positions.push_back(glyph.origin);
    }
    flush();
}

} // namespace kestrix
