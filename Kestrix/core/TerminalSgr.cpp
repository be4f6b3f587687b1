// Select Graphic Rendition: the attribute of the text printed next.
//
// Extended colours (38 foreground, 48 background, 58 underline) come in two spellings: with
// semicolons, where the colour's parts are ordinary parameters (38;5;n and 38;2;r;g;b), and with
// colons, where they form one group that may also carry a colour-space identifier (38:5:n,
// 38:2:r:g:b and 38:2:space:r:g:b). The parser's list of separators tells them apart.

#include "Kestrix/core/Terminal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace kestrix {

namespace {

// Host input printed by a single sequence is bounded: a long list of unknown parameters would
// otherwise print the whole list once for each of them.
constexpr int maximumUnknownReportsPerSequence = 8;

constexpr uint8_t channel(int64_t value)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
}

// A palette colour: an index past the palette names no colour (it is not some other entry).
constexpr Attribute::OptionalColor paletteColor(int64_t index)
{
    if (index < 0 || index > 255) {
        return std::nullopt;
    }
    return Attribute::Color::ansi256(static_cast<uint8_t>(index));
}

// The parameters of one SGR sequence and the separator after each.
class SgrParameters {
public:
    SgrParameters(ParameterSpan pars, ByteSpan separators)
        : pars_(pars)
        , separators_(separators.first(std::min(separators.size(), pars.empty() ? 0 : pars.size() - 1)))
    {
    }

    size_t size() const { return pars_.size(); }
    int64_t operator[](size_t i) const { return pars_[i]; }
    bool has(size_t i) const { return i < pars_.size(); }
    // Whether parameter i is followed by a colon, that is, by one of its sub-parameters.
    bool colonAfter(size_t i) const { return i < separators_.size() && separators_[i] == ':'; }

    // The length of the colon-joined group that starts at parameter i.
    size_t groupLength(size_t i) const
    {
        size_t length = 1;
        while (colonAfter(i + length - 1) && has(i + length)) {
            ++length;
        }
        return length;
    }

private:
    ParameterSpan pars_;
    ByteSpan separators_;
};

// The colour of 38, 48 or 58 at parameter i into `color` (left empty when malformed), and where the
// walk goes on. The colour is handed back through a reference: a returned colour-and-index pair lands
// on the stack and is read back whole before its stores have drained.
size_t readExtendedColor(const SgrParameters &p, size_t i, Attribute::OptionalColor &color)
{
    const size_t mode = i + 1;
    color = std::nullopt;
    if (!p.has(mode)) {
        return mode + 1;
    }
    size_t consumed = 1;
    if (p.colonAfter(i)) {
        const size_t group = p.groupLength(mode);
        if (p[mode] == 5 && group >= 2) {
            color = paletteColor(p[mode + 1]);
        } else if (p[mode] == 2 && group >= 5) {
            // The colour-space identifier is skipped.
            color =
                Attribute::Color::trueColor(channel(p[mode + 2]), channel(p[mode + 3]), channel(p[mode + 4]));
        } else if (p[mode] == 2 && group == 4) {
            color =
                Attribute::Color::trueColor(channel(p[mode + 1]), channel(p[mode + 2]), channel(p[mode + 3]));
        }
        consumed = group;
    } else if (p[mode] == 5 && p.has(mode + 1)) {
        color = paletteColor(p[mode + 1]);
        consumed = 2;
    } else if (p[mode] == 2 && p.has(mode + 3)) {
        color = Attribute::Color::trueColor(channel(p[mode + 1]), channel(p[mode + 2]), channel(p[mode + 3]));
        consumed = 4;
    }
    return mode + std::max<size_t>(consumed, 1);
}

// 4 with a sub-parameter: 0 removes the underline, 1 to 5 choose its style, anything above is single.
void applyUnderlineStyle(Attribute &attr, int64_t style)
{
    attr.style.update(CharacterStyle::underline, style != 0);
    attr.underlineStyle = style == 0  ? UnderlineStyle::none
                          : style > 5 ? UnderlineStyle::single
                                      : static_cast<UnderlineStyle>(style);
}

// What a parameter that changes one thing by itself does to the attribute.
enum class SimpleChange : uint8_t {
    none,
    reset,
    foreground,
    background,
    setStyle,
    clearStyle,
    doubleUnderline,
    noUnderline,
    defaultUnderlineColor,
};

struct SimpleParameter {
    SimpleChange change = SimpleChange::none;
    // The flags of a style change, the colour of a colour change.
    CharacterStyle style = CharacterStyle::none;
    Attribute::Color color = Attribute::Color::defaultColor();
};

constexpr SimpleParameter colorChange(SimpleChange change, Attribute::Color color)
{
    return {change, CharacterStyle(), color};
}

constexpr SimpleParameter styleChange(SimpleChange change, CharacterStyle flags)
{
    return {change, flags, Attribute::Color()};
}

// The simple parameters by value; the others (4 and the extended colours among them) are `none`.
constexpr std::array<SimpleParameter, 108> simpleParameters = [] {
    using enum SimpleChange;
    using Color = Attribute::Color;
    std::array<SimpleParameter, 108> table{};
    table[0] = {reset};
    for (uint8_t index = 0; index < 8; ++index) {
        table[30 + index] = colorChange(foreground, Color::ansi256(index));
        table[40 + index] = colorChange(background, Color::ansi256(index));
        table[90 + index] = colorChange(foreground, Color::ansi256(static_cast<uint8_t>(index + 8)));
        table[100 + index] = colorChange(background, Color::ansi256(static_cast<uint8_t>(index + 8)));
    }
    table[39] = colorChange(foreground, Color::defaultColor());
    table[49] = colorChange(background, Color::defaultColor());
    table[1] = styleChange(setStyle, CharacterStyle::bold);
    table[2] = styleChange(setStyle, CharacterStyle::dim);
    table[3] = styleChange(setStyle, CharacterStyle::italic);
    table[5] = styleChange(setStyle, CharacterStyle::blink);
    table[7] = styleChange(setStyle, CharacterStyle::inverse);
    table[8] = styleChange(setStyle, CharacterStyle::invisible);
    table[9] = styleChange(setStyle, CharacterStyle::crossedOut);
    table[21] = {doubleUnderline};
    table[22] = styleChange(clearStyle, CharacterStyle::bold | CharacterStyle::dim);
    table[23] = styleChange(clearStyle, CharacterStyle::italic);
    table[24] = {noUnderline};
    table[25] = styleChange(clearStyle, CharacterStyle::blink);
    table[27] = styleChange(clearStyle, CharacterStyle::inverse);
    table[28] = styleChange(clearStyle, CharacterStyle::invisible);
    table[29] = styleChange(clearStyle, CharacterStyle::crossedOut);
    table[59] = {defaultUnderlineColor};
    return table;
}();

// A parameter that changes one thing by itself; false for the others. Inlined into both of its
// callers: a call costs as much as the change.
[[gnu::always_inline]] inline bool applySimpleParameter(Attribute &attr, int64_t parameter)
{
    // Unsigned, so one comparison also turns away negative values.
    if (static_cast<uint64_t>(parameter) >= simpleParameters.size()) {
        return false;
    }
    const SimpleParameter &entry = simpleParameters[static_cast<size_t>(parameter)];
    switch (entry.change) {
    case SimpleChange::none:
        return false;
    case SimpleChange::reset:
        attr = Attribute();
        break;
    case SimpleChange::foreground:
        attr.fg = entry.color;
        break;
    case SimpleChange::background:
        attr.bg = entry.color;
        break;
    case SimpleChange::setStyle:
        attr.style.insert(entry.style);
        break;
    case SimpleChange::clearStyle:
        attr.style.remove(entry.style);
        break;
    case SimpleChange::doubleUnderline:
        attr.style.insert(CharacterStyle::underline);
        attr.underlineStyle = UnderlineStyle::double_;
        break;
    case SimpleChange::noUnderline:
        applyUnderlineStyle(attr, 0);
        break;
    case SimpleChange::defaultUnderlineColor:
        attr.underlineColor.reset();
        break;
    }
    return true;
}

// A whole sequence that only sets the foreground or background to a palette or direct colour, with
// semicolons (38;5;n, 48;2;r;g;b): what colourful output sends before most runs of text. False for
// anything else, which the general walk then reads.
[[gnu::always_inline]] inline bool applyPlainExtendedColor(Attribute &attr, ParameterSpan pars,
                                                           ByteSpan separators)
{
    const size_t count = pars.size();
    if ((count != 3 && count != 5) || (pars[0] != 38 && pars[0] != 48) || separators.size() != count - 1 ||
        separators[0] != ';' || separators[1] != ';' ||
        (count == 5 && (separators[2] != ';' || separators[3] != ';'))) {
        return false;
    }
    Attribute::Color &target = pars[0] == 38 ? attr.fg : attr.bg;
    if (count == 3 && pars[1] == 5) {
        if (const Attribute::OptionalColor color = paletteColor(pars[2])) {
            target = *color;
        }
        return true;
    }
    if (count == 5 && pars[1] == 2) {
        target = Attribute::Color::trueColor(channel(pars[2]), channel(pars[3]), channel(pars[4]));
        return true;
    }
    return false;
}

// Printed whether or not the log is silenced. Kept out of line, so the common path of cmdSGR
// carries no string building.
[[gnu::noinline, gnu::cold]] void reportUnknownSgr(int64_t parameter, ParameterSpan pars)
{
    std::printf("Unknown SGR attribute: %lld %s\n", static_cast<long long>(parameter),
                Terminal::describeParameters(pars).c_str());
}

// The general walk over a sequence's parameters. Out of line, so the one-parameter path of cmdSGR
// does not pay for this one's frame. The attribute is changed in place: a copy costs more than the
// usual one or two changes.
[[gnu::noinline]] void applySgrParameters(Attribute &attr, ParameterSpan pars, ByteSpan separators)
{
    const SgrParameters p(pars, separators);
    int unknownReports = 0;
    size_t i = 0;
    while (i < p.size()) {
        const int64_t parameter = p[i];
        if (parameter == 4) {
            const bool withStyle = p.colonAfter(i) && p.has(i + 1);
            applyUnderlineStyle(attr, withStyle ? p[i + 1] : 1);
            i += withStyle ? 2 : 1;
        } else if (parameter == 38 || parameter == 48 || parameter == 58) {
            Attribute::OptionalColor color;
            i = readExtendedColor(p, i, color);
            if (color && parameter == 38) {
                attr.fg = *color;
            } else if (color && parameter == 48) {
                attr.bg = *color;
            } else if (color) {
                attr.underlineColor = color;
            }
        } else {
            if (!applySimpleParameter(attr, parameter) &&
                unknownReports++ < maximumUnknownReportsPerSequence) {
                reportUnknownSgr(parameter, pars);
            }
            ++i;
        }
    }
}

} // namespace

void Terminal::cmdSGR(ParameterSpan pars, ByteSpan collect)
{
    if (!collect.empty()) {
        return;
    }
    // Most sequences carry one plain parameter (a reset, a colour, a style): no walk needed.
    if (pars.size() == 1 && applySimpleParameter(curAttr, pars[0])) {
        return;
    }
    const ByteSpan separators = parser_->parameterSeparators();
    if (applyPlainExtendedColor(curAttr, pars, separators)) {
        return;
    }
    applySgrParameters(curAttr, pars, separators);
}

} // namespace kestrix
