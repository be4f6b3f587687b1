#pragma once

#include "Kestrix/rendering/gpu/ShaperCache.h"

#include <QFont>
#include <QString>

#include <memory>

namespace kestrix {

// The key under which text in this font is shaped: the font's full description and its size.
ShaperKey shaperKey(const QString &text, const QFont &font);

// Shapes text in a font into glyph runs, each with the font that supplied its glyphs (fallback
// fonts included), through the cache. Nothing for empty text or text that yields no glyphs.
std::shared_ptr<const ShaperRun> shapeText(ShaperCache &cache, const QString &text, const QFont &font);

} // namespace kestrix
