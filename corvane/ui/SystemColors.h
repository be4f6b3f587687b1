#pragma once

#include <QColor>

namespace corvane::systemcolors {

// The named system colours the screens tint with, as the desktop light appearance draws them.
inline QColor red()
{
    return QColor(0xFF, 0x3B, 0x30);
}
inline QColor orange()
{
    return QColor(0xFF, 0x95, 0x00);
}
inline QColor yellow()
{
    return QColor(0xFF, 0xCC, 0x00);
}
inline QColor green()
{
    return QColor(0x34, 0xC7, 0x59);
}
inline QColor blue()
{
    return QColor(0x00, 0x7A, 0xFF);
}
inline QColor gray()
{
    return QColor(0x8E, 0x8E, 0x93);
}

// Text of lesser weight: secondary, tertiary and quaternary labels over the window colour.
QColor secondaryText();
QColor tertiaryText();
QColor quaternaryText();

} // namespace corvane::systemcolors
