#include "Kestrix/rendering/gpu/TextShaper.h"

#include <QGlyphRun>
#include <QTextLayout>
#include <QTextOption>

namespace kestrix {

namespace {

std::shared_ptr<ShaperRun> layOut(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    if (!line.isValid()) {
        return nullptr;
    }
    const double baseline = line.y() + line.ascent();

    auto shaped = std::make_shared<ShaperRun>();
    for (const QGlyphRun &glyphRun : layout.glyphRuns()) {
        const QList<quint32> glyphs = glyphRun.glyphIndexes();
        const QList<QPointF> positions = glyphRun.positions();
        if (glyphs.isEmpty() || glyphs.size() != positions.size()) {
            continue;
        }
        ShaperGlyphRun run;
        run.font = glyphRun.rawFont().isValid() ? glyphRun.rawFont() : QRawFont::fromFont(font);
        run.glyphs.assign(glyphs.begin(), glyphs.end());
        run.positions.reserve(static_cast<size_t>(positions.size()));
        for (const QPointF &position : positions) {
            run.positions.emplace_back(position.x() - line.x(), baseline - position.y());
        }
        shaped->positions.insert(shaped->positions.end(), run.positions.begin(), run.positions.end());
        shaped->glyphRuns.push_back(std::move(run));
    }
    if (shaped->glyphRuns.empty()) {
        return nullptr;
    }
    shaped->glyphCount = static_cast<int64_t>(shaped->positions.size());
    return shaped;
}

} // namespace

ShaperKey shaperKey(const QString &text, const QFont &font)
{
    const double size = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
    return {font.key(), size, text};
}

std::shared_ptr<const ShaperRun> shapeText(ShaperCache &cache, const QString &text, const QFont &font)
{
    if (text.isEmpty()) {
        return nullptr;
    }
    const ShaperKey key = shaperKey(text, font);
    if (std::shared_ptr<const ShaperRun> cached = cache.lookup(key)) {
        return cached;
    }
    std::shared_ptr<const ShaperRun> shaped = layOut(text, font);
    if (shaped) {
        cache.insert(shaped, key);
    }
    return shaped;
}

} // namespace kestrix
