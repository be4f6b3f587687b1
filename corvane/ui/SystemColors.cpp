#include "corvane/ui/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace corvane::systemcolors {
namespace {

QColor fadedText(qreal opacity)
{
    QColor color = QGuiApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(opacity);
    return color;
}

} // namespace

QColor secondaryText()
{
    return fadedText(0.55);
}

QColor tertiaryText()
{
    return fadedText(0.38);
}

QColor quaternaryText()
{
    return fadedText(0.25);
}

} // namespace corvane::systemcolors
