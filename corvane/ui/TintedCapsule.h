#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace corvane {

// A badge's look: `text` centred in a capsule filling `capsule`, the text in `tint` over a fill
// of `tint` at `backgroundOpacity`, laid over `underlay` when one is given.
void paintTintedCapsule(QPainter &painter, const QRectF &capsule, const QColor &tint, qreal backgroundOpacity,
                        const QFont &font, const QString &text, const QColor &underlay = {});

} // namespace corvane
