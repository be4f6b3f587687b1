#include "corvane/ui/LabelStyle.h"

#include "corvane/ui/SystemColors.h"

namespace corvane {

QFont sizedFont(const QFont &base, int pixelSize, QFont::Weight weight)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QLabel *plainLabel(const QString &text, const QFont &font, QWidget *parent, bool secondary)
{
    QLabel *label = plainLabel(text, parent);
    label->setFont(font);
    if (secondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, systemcolors::secondaryText());
        label->setPalette(palette);
    }
    return label;
}

} // namespace corvane
