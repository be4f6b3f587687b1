// Cell attributes to the text attributes the renderers draw with.

#include "Kestrix/rendering/TextAttributes.h"
#include "Kestrix/rendering/UnderlineGeometry.h"
#include "Kestrix/view/ColorConversions.h"
#include "Kestrix/view/TerminalView.h"

namespace kestrix {

namespace {

using Kind = Attribute::Color::Kind;

bool isDefaultKind(const Attribute::Color &color)
{
    return color.kind() == Kind::defaultColor || color.kind() == Kind::defaultInvertedColor;
}

// Inverse swaps the colours; a default on either side becomes the inverted default, never the plain
// one.
std::pair<Attribute::Color, Attribute::Color> effectiveColors(const Attribute &attribute)
{
    if (!attribute.style.contains(CharacterStyle::inverse)) {
        return {attribute.fg, attribute.bg};
    }
    const Attribute::Color fg =
        isDefaultKind(attribute.bg) ? Attribute::Color::defaultInvertedColor() : attribute.bg;
    const Attribute::Color bg =
        isDefaultKind(attribute.fg) ? Attribute::Color::defaultInvertedColor() : attribute.fg;
    return {fg, bg};
}

// Bright base colours without brightening are shown through the bold face instead.
bool isBrightBaseColor(const Attribute::Color &color)
{
    return color.kind() == Kind::ansi256 && color.code() >= 8 && color.code() <= 15;
}

} // namespace

const QFont &TerminalView::fontFor(bool bold, bool italic) const
{
    if (bold) {
        return italic ? fontSet_.boldItalic : fontSet_.bold;
    }
    return italic ? fontSet_.italic : fontSet_.normal;
}

std::shared_ptr<const TextAttributes> TerminalView::cellAttributes(const Attribute &attribute,
                                                                   bool linkHighlight)
{
    auto &cache = linkHighlight ? urlAttributes_ : attributes_;
    if (auto found = cache.find(attribute); found != cache.end()) {
        return found->second;
    }
    const CharacterStyle style = attribute.style;
    const bool bold = style.contains(CharacterStyle::bold);
    const bool italic = style.contains(CharacterStyle::italic);
    const auto [fgColor, bgColor] = effectiveColors(attribute);

    auto made = std::make_shared<TextAttributes>();
    made->font = fontFor(bold || (isBrightBaseColor(fgColor) && !useBrightColors_), italic);
    QColor foreground = nsColor(fgColor, true, bold, useBrightColors_);
    made->background = nsColor(bgColor, false, false, useBrightColors_);
    if (style.contains(CharacterStyle::dim)) {
        foreground = averaged(foreground, made->background);
    }
    made->foreground = foreground;

    if (style.contains(CharacterStyle::underline)) {
        const UnderlineStyle kind = attribute.underlineStyle == UnderlineStyle::none
                                        ? UnderlineStyle::single
                                        : attribute.underlineStyle;
        made->underlineColor = attribute.underlineColor
                                   ? nsColor(*attribute.underlineColor, true, bold, useBrightColors_)
                                   : foreground;
        made->underlineStyleValue = underlineStyleValue(kind);
        made->kestrixUnderlineStyle = static_cast<int64_t>(kind);
    }
    if (style.contains(CharacterStyle::crossedOut)) {
        made->strikethroughColor = foreground;
        made->strikethroughStyleValue = decorationStyleBits::single;
    }
    if (linkHighlight) {
        // A highlighted link reads as a single underline, drawn dashed in the text colour.
        made->underlineStyleValue = decorationStyleBits::single;
        made->underlineColor = foreground;
        made->kestrixUnderlineStyle = static_cast<int64_t>(UnderlineStyle::dashed);
    }
    cache.emplace(attribute, made);
    return made;
}

TextAttributes TerminalView::makeAttributes(const Attribute &attribute, const QColor &fg, const QColor &bg)
{
    const CharacterStyle style = attribute.style;
    const bool bold = style.contains(CharacterStyle::bold);
    TextAttributes made;
    made.font = fontFor(bold, style.contains(CharacterStyle::italic));
    const bool inverse = style.contains(CharacterStyle::inverse);
    made.foreground = inverse ? bg : fg;
    made.background = inverse ? fg : bg;
    if (style.contains(CharacterStyle::underline)) {
        const UnderlineStyle kind = attribute.underlineStyle == UnderlineStyle::none
                                        ? UnderlineStyle::single
                                        : attribute.underlineStyle;
        made.underlineColor = attribute.underlineColor
                                  ? nsColor(*attribute.underlineColor, true, bold, useBrightColors_)
                                  : made.foreground;
        made.underlineStyleValue = underlineStyleValue(kind);
        made.kestrixUnderlineStyle = static_cast<int64_t>(kind);
    }
    if (style.contains(CharacterStyle::crossedOut)) {
        made.strikethroughColor = made.foreground;
        made.strikethroughStyleValue = decorationStyleBits::single;
    }
    return made;
}

} // namespace kestrix
