#include "corvane/ui/TintedCapsule.h"

namespace corvane {

void paintTintedCapsule(QPainter &painter, const QRectF &capsule, const QColor &tint, qreal backgroundOpacity,
                        const QFont &font, const QString &text, const QColor &underlay)
{
    QColor background = tint;
    background.setAlphaF(backgroundOpacity);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal radius = capsule.height() / 2;
    if (underlay.isValid()) {
        painter.setBrush(underlay);
        painter.drawRoundedRect(capsule, radius, radius);
    }
    painter.setBrush(background);
    painter.drawRoundedRect(capsule, radius, radius);
    painter.setFont(font);
    painter.setPen(tint);
    painter.drawText(capsule, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

} // namespace corvane
