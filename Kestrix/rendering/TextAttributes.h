#pragma once

#include "Kestrix/model/UnderlineStyle.h"

#include <QColor>
#include <QFont>

#include <cstdint>
#include <optional>

namespace kestrix {

// How a run of cells is drawn: its face, colours and decorations. Built once per distinct cell
// attribute and shared, so a stored value is never changed.
struct TextAttributes {
    QFont font;
    QColor foreground;
    QColor background;
    std::optional<QColor> underlineColor;
    // The underline as a style value (bits of `decorationStyleBits`); absent without an underline.
    std::optional<int64_t> underlineStyleValue;
    // The exact kind of underline, which the style value cannot express for curls.
    std::optional<int64_t> kestrixUnderlineStyle;
    std::optional<QColor> strikethroughColor;
    std::optional<int64_t> strikethroughStyleValue;
    // Set on selected cells; painted behind them instead of the background.
    std::optional<QColor> selectionBackgroundColor;

    bool operator==(const TextAttributes &) const = default;
};

// The style value stored for each kind of underline.
int64_t underlineStyleValue(UnderlineStyle style);

// Which underline the attributes ask for: the exact kind when it is stored, else the kind the style
// value names.
UnderlineStyle underlineStyle(const TextAttributes &attributes);

} // namespace kestrix
