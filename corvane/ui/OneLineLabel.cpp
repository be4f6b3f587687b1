#include "corvane/ui/OneLineLabel.h"

#include <QPainter>

#include <algorithm>

namespace corvane {

OneLineLabel::OneLineLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void OneLineLabel::setText(const QString &text)
{
    QLabel::setText(text);
    setToolTip(text);
}

QSize OneLineLabel::minimumSizeHint() const
{
    // A few characters stay, so a neighbour that grows never squeezes it to nothing.
    const int few = fontMetrics().averageCharWidth() * minimumCharacters;
    return {std::min(few, QLabel::sizeHint().width()), QLabel::minimumSizeHint().height()};
}

void OneLineLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width()));
}

} // namespace corvane
