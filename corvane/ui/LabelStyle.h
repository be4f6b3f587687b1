#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

namespace corvane {

// `base` at a fixed pixel size and weight.
QFont sizedFont(const QFont &base, int pixelSize, QFont::Weight weight = QFont::Normal);

// Tints the widget's text; rich-text labels draw with the Text role, plain ones with WindowText.
void setTextColor(QWidget *widget, const QColor &color);

// A label that never reads its text as markup: the text may come from the user or a host.
QLabel *plainLabel(const QString &text, QWidget *parent);

// The same in `font`; a `secondary` label draws in the secondary text colour.
QLabel *plainLabel(const QString &text, const QFont &font, QWidget *parent, bool secondary = false);

} // namespace corvane
