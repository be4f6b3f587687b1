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
            color = Attribute::Color::ansi256(channel(p[mode + 1]));
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
        color = Attribute::Color::ansi256(channel(p[mode + 1]));
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

// The parameters below 30 that set or clear style flags, by parameter; the others change nothing here.
struct StyleChange {
    CharacterStyle flags;
    bool set = false;
};

constexpr std::array<StyleChange, 30> styleChanges = [] {
    std::array<StyleChange, 30> changes{};
    changes[1] = {CharacterStyle::bold, true};
    changes[2] = {CharacterStyle::dim, true};
    changes[3] = {CharacterStyle::italic, true};
    changes[5] = {CharacterStyle::blink, true};
    changes[7] = {CharacterStyle::inverse, true};
    changes[8] = {CharacterStyle::invisible, true};
    changes[9] = {CharacterStyle::crossedOut, true};
    changes[22] = {CharacterStyle::bold | CharacterStyle::dim, false};
    changes[23] = {CharacterStyle::italic, false};
    changes[25] = {CharacterStyle::blink, false};
    changes[27] = {CharacterStyle::inverse, false};
    changes[28] = {CharacterStyle::invisible, false};
    changes[29] = {CharacterStyle::crossedOut, false};
    return changes;
}();

// A parameter that changes one thing by itself; false for the others. Inlined into both of its
// callers: a call costs as much as the change.
[[gnu::always_inline]] inline bool applySimpleParameter(Attribute &attr, int64_t parameter)
{
    if (parameter >= 30 && parameter <= 37) {
        attr.fg = Attribute::Color::ansi256(static_cast<uint8_t>(parameter - 30));
    } else if (parameter >= 40 && parameter <= 47) {
        attr.bg = Attribute::Color::ansi256(static_cast<uint8_t>(parameter - 40));
    } else if (parameter >= 90 && parameter <= 97) {
        attr.fg = Attribute::Color::ansi256(static_cast<uint8_t>(parameter - 82));
    } else if (parameter >= 100 && parameter <= 107) {
        attr.bg = Attribute::Color::ansi256(static_cast<uint8_t>(parameter - 92));
    } else if (parameter >= 0 && parameter < static_cast<int64_t>(styleChanges.size()) &&
               !styleChanges[static_cast<size_t>(parameter)].flags.isEmpty()) {
        const StyleChange &change = styleChanges[static_cast<size_t>(parameter)];
        attr.style.update(change.flags, change.set);
    } else {
        switch (parameter) {
        case 0:
            attr = Attribute();
            break;
        case 21:
            attr.style.insert(CharacterStyle::underline);
            attr.underlineStyle = UnderlineStyle::double_;
            break;
        case 24:
            applyUnderlineStyle(attr, 0);
            break;
        case 39:
            attr.fg = Attribute::Color::defaultColor();
            break;
        case 49:
            attr.bg = Attribute::Color::defaultColor();
            break;
        case 59:
            attr.underlineColor.reset();
            break;
        default:
            return false;
        }
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
    Attribute::Color color;
    if (count == 3 && pars[1] == 5) {
        color = Attribute::Color::ansi256(channel(pars[2]));
    } else if (count == 5 && pars[1] == 2) {
        color = Attribute::Color::trueColor(channel(pars[2]), channel(pars[3]), channel(pars[4]));
    } else {
        return false;
    }
    (pars[0] == 38 ? attr.fg : attr.bg) = color;
    return true;
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
