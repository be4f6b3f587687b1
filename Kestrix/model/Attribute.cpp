#include "Kestrix/model/Attribute.h"

namespace kestrix {
namespace {

// Appends the SGR parameters of one colour role. `base` is 30 (foreground) or 40 (background); the
// bright colours sit 60 above it and the extended form is base + 8 (38 or 48).
void appendColor(std::string &text, const Attribute::Color &color, int base)
{
    switch (color.kind()) {
    case Attribute::Color::Kind::ansi256:
        if (color.code() < 8) {
            text += ';' + std::to_string(base + color.code());
        } else if (color.code() < 16) {
            text += ';' + std::to_string(base + 60 + color.code() - 8);
        } else {
            text += ';' + std::to_string(base + 8) + ";5;" + std::to_string(color.code());
        }
        break;
    case Attribute::Color::Kind::trueColor:
        text += ';' + std::to_string(base + 8) + ";2;" + std::to_string(color.red()) + ';' +
                std::to_string(color.green()) + ';' + std::to_string(color.blue());
        break;
    case Attribute::Color::Kind::defaultColor:
    case Attribute::Color::Kind::defaultInvertedColor:
        break;
    }
}

void mix(size_t &hash, size_t value)
{
    hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
}

} // namespace

std::string Attribute::sgrParameters() const
{
    struct StyleParameter {
        CharacterStyle flag;
        const char *text;
    };
    // dim, italic and crossed-out are not reported.
    static constexpr StyleParameter styleParameters[] = {
        {CharacterStyle::bold, ";1"},    {CharacterStyle::underline, ";4"}, {CharacterStyle::blink, ";5"},
        {CharacterStyle::inverse, ";7"}, {CharacterStyle::invisible, ";8"},
    };

    std::string text = "0";
    for (const StyleParameter &parameter : styleParameters) {
        if (style.contains(parameter.flag)) {
            text += parameter.text;
        }
    }
    appendColor(text, fg, 30);
    appendColor(text, bg, 40);
    text += 'm';
    return text;
}

} // namespace kestrix

size_t std::hash<kestrix::Attribute::Color>::operator()(const kestrix::Attribute::Color &color) const noexcept
{
    size_t hash = static_cast<size_t>(color.kind());
    kestrix::mix(hash, color.code() | color.red());
    kestrix::mix(hash, color.green());
    kestrix::mix(hash, color.blue());
    return hash;
}

size_t std::hash<kestrix::Attribute>::operator()(const kestrix::Attribute &attribute) const noexcept
{
    std::hash<kestrix::Attribute::Color> colorHash;
    size_t hash = colorHash(attribute.fg);
    kestrix::mix(hash, colorHash(attribute.bg));
    kestrix::mix(hash, attribute.style.rawValue());
    kestrix::mix(hash, static_cast<size_t>(attribute.underlineStyle));
    kestrix::mix(hash, attribute.underlineColor ? colorHash(*attribute.underlineColor) + 1 : 0);
    return hash;
}
