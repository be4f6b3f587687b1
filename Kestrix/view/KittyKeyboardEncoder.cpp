#include "Kestrix/view/KittyKeyboardEncoder.h"

#include "Kestrix/view/KeyText.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrix {
namespace {

using Bytes = std::vector<uint8_t>;
using Flags = KittyKeyboardFlags;
using Mods = KittyKeyboardModifiers;
using Key = KittyFunctionalKey;

constexpr uint8_t esc = 0x1B;

// Control+key to a control byte. Keys are looked up lower-cased; digits follow the VT220 layout
// (2 NUL ... 8 DEL), while 0, 1 and 9 stand for themselves.
struct ControlByte {
    char32_t key;
    uint8_t byte;
};

constexpr std::array<ControlByte, 46> controlByteTable{{
    {U' ', 0x00}, {U'@', 0x00}, {U'/', 0x1F}, {U'[', 0x1B}, {U'\\', 0x1C}, {U']', 0x1D}, {U'^', 0x1E},
    {U'_', 0x1F}, {U'~', 0x1E}, {U'?', 0x7F}, {U'0', 0x30}, {U'1', 0x31},  {U'2', 0x00}, {U'3', 0x1B},
    {U'4', 0x1C}, {U'5', 0x1D}, {U'6', 0x1E}, {U'7', 0x1F}, {U'8', 0x7F},  {U'9', 0x39}, {U'a', 0x01},
    {U'b', 0x02}, {U'c', 0x03}, {U'd', 0x04}, {U'e', 0x05}, {U'f', 0x06},  {U'g', 0x07}, {U'h', 0x08},
    {U'i', 0x09}, {U'j', 0x0A}, {U'k', 0x0B}, {U'l', 0x0C}, {U'm', 0x0D},  {U'n', 0x0E}, {U'o', 0x0F},
    {U'p', 0x10}, {U'q', 0x11}, {U'r', 0x12}, {U's', 0x13}, {U't', 0x14},  {U'u', 0x15}, {U'v', 0x16},
    {U'w', 0x17}, {U'x', 0x18}, {U'y', 0x19}, {U'z', 0x1A},
}};

std::optional<uint8_t> lookUpControlByte(char32_t key)
{
    const auto found = std::find_if(controlByteTable.begin(), controlByteTable.end(),
                                    [key](const ControlByte &entry) { return entry.key == key; });
    if (found == controlByteTable.end())
        return std::nullopt;
    return found->byte;
}

// Every key of the table is ASCII, so ASCII lower-casing is all the lookup needs.
std::optional<uint8_t> controlByte(char32_t key)
{
    const char32_t lowered = (key >= U'A' && key <= U'Z') ? key + (U'a' - U'A') : key;
    return lookUpControlByte(lowered);
}

void appendDecimal(Bytes &out, uint64_t value)
{
    std::array<uint8_t, 20> digits{};
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<uint8_t>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        out.push_back(digits[--count]);
}

void append(Bytes &out, std::string_view bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void appendUtf8(Bytes &out, char32_t scalar)
{
    append(out, encodeUtf8(scalar));
}

Bytes textBytes(std::string_view utf8)
{
    return Bytes(utf8.begin(), utf8.end());
}

bool isFunctional(const KittyKeyEvent &event, std::initializer_list<Key> keys)
{
    return event.key.kind() == KittyKey::Kind::functional &&
           std::find(keys.begin(), keys.end(), event.key.functionalKey()) != keys.end();
}

// Writes one event in the three sequence forms; knows whether the event type and the alternate
// keys are reported.
class SequenceWriter {
public:
    SequenceWriter(const KittyKeyEvent &event, KittyKeyboardFlags flags)
        : event_(event)
        , modifiers_(static_cast<uint64_t>(event.modifiers.rawValue))
        , reportsEventType_(flags.contains(Flags::reportEventTypes) &&
                            event.eventType != KittyKeyboardEventType::press)
        , reportsAlternates_(flags.contains(Flags::reportAlternateKeys))
    {
    }

    // CSI number [:shifted[:base]] [;modifiers[:type]] [;text] u
    Bytes csiU(uint64_t number, const std::string *text) const
    {
        Bytes out = csi();
        appendDecimal(out, number);
        if (reportsAlternates_)
            appendAlternates(out);
        const bool wroteModifiers = writesModifierField();
        if (wroteModifiers)
            appendModifierField(out);
        if (text)
            appendAssociatedText(out, *text, wroteModifiers);
        out.push_back('u');
        return out;
    }

    // CSI letter, or CSI 1 ;modifiers[:type] letter
    Bytes letter(uint8_t finalByte) const
    {
        Bytes out = csi();
        if (writesModifierField()) {
            out.push_back('1');
            appendModifierField(out);
        }
        out.push_back(finalByte);
        return out;
    }

    // CSI number [;modifiers[:type]] ~
    Bytes tilde(uint64_t number) const
    {
        Bytes out = csi();
        appendDecimal(out, number);
        if (writesModifierField())
            appendModifierField(out);
        out.push_back('~');
        return out;
    }

private:
    static Bytes csi() { return Bytes{esc, '['}; }

    bool writesModifierField() const { return modifiers_ != 0 || reportsEventType_; }

    void appendAlternates(Bytes &out) const
    {
        const bool reportsShifted = event_.modifiers.contains(Mods::shift) && event_.shiftedKey;
        if (reportsShifted) {
            out.push_back(':');
            appendDecimal(out, *event_.shiftedKey);
        }
        if (event_.baseLayoutKey) {
            // An unreported shifted key leaves its slot empty.
            if (!reportsShifted)
                out.push_back(':');
            out.push_back(':');
            appendDecimal(out, *event_.baseLayoutKey);
        }
    }

    void appendModifierField(Bytes &out) const
    {
        out.push_back(';');
        // The raw value is at most a few bits wide; wrap-around cannot reach a real event.
        appendDecimal(out, modifiers_ + 1);
        if (reportsEventType_) {
            out.push_back(':');
            appendDecimal(out, static_cast<uint64_t>(event_.eventType));
        }
    }

    static void appendAssociatedText(Bytes &out, std::string_view text, bool wroteModifiers)
    {
        bool first = true;
        for (char32_t scalar : decodeUtf8Scalars(text)) {
            if (isControlCharacter(scalar))
                continue;
            if (first)
                append(out, wroteModifiers ? ";" : ";;");
            else
                out.push_back(':');
            appendDecimal(out, scalar);
            first = false;
        }
    }

    const KittyKeyEvent &event_;
    uint64_t modifiers_;
    bool reportsEventType_;
    bool reportsAlternates_;
};

// Escape, Enter, Tab and Backspace in their legacy bytes; only a press is sent.
std::optional<Bytes> legacySpecialKey(const KittyKeyboardEncoder &encoder, const KittyKeyEvent &event)
{
    if (event.eventType != KittyKeyboardEventType::press)
        return std::nullopt;
    const Mods modifiers = event.modifiers;
    Bytes out;
    if (modifiers.contains(Mods::alt))
        out.push_back(esc);
    switch (event.key.functionalKey()) {
    case Key::escape:
        out.push_back(esc);
        break;
    case Key::enter:
        out.push_back('\r');
        break;
    case Key::tab:
        if (modifiers.contains(Mods::shift))
            append(out, "\x1b[Z");
        else
            out.push_back('\t');
        break;
    default: { // backspace
        const bool controlH = modifiers.contains(Mods::ctrl) || encoder.backspaceSendsControlH;
        out.push_back(controlH ? 0x08 : 0x7F);
        break;
    }
    }
    return out;
}

// A character key as a legacy terminal types it: Alt as an ESC prefix, Control as a control byte.
std::optional<Bytes> legacyText(const KittyKeyEvent &event)
{
    const char32_t scalar = event.key.scalar();
    if (event.eventType != KittyKeyboardEventType::press || !isUnicodeScalarValue(scalar))
        return std::nullopt;
    const Mods modifiers = event.modifiers;
    const Mods legacyModifiers = Mods::shift | Mods::alt | Mods::ctrl | Mods::capsLock | Mods::numLock;
    if (!(modifiers - legacyModifiers).isEmpty() || modifiers.contains(Mods::shift | Mods::ctrl))
        return std::nullopt;

    Bytes out;
    if (modifiers.contains(Mods::alt))
        out.push_back(esc);
    if (modifiers.contains(Mods::ctrl)) {
        if (const auto byte = controlByte(scalar)) {
            out.push_back(*byte);
            return out;
        }
    }
    if (event.text && !event.text->empty())
        append(out, *event.text);
    else if (modifiers.contains(Mods::shift) && event.shiftedKey)
        appendUtf8(out, *event.shiftedKey);
    else
        appendUtf8(out, scalar);
    return out;
}

uint64_t keyNumber(const KittyKeyEvent &event)
{
    switch (event.key.kind()) {
    case KittyKey::Kind::unicode:
        return event.key.scalar();
    case KittyKey::Kind::functional:
        return static_cast<uint64_t>(kittyFunctionalKeyCode(event.key.functionalKey()).number);
    case KittyKey::Kind::none:
        break;
    }
    return 0;
}

// Every key as an escape sequence, with the associated text when it is reported.
std::optional<Bytes> encodeAllKeysAsEscapeCodes(const KittyKeyboardEncoder &encoder,
                                                const KittyKeyEvent &event, bool reportsText)
{
    const SequenceWriter writer(event, encoder.flags);
    const std::string *text = reportsText && event.text ? &*event.text : nullptr;
    if (event.key.kind() != KittyKey::Kind::functional)
        return writer.csiU(keyNumber(event), text);

    const KittyFunctionalKeyCode code = kittyFunctionalKeyCode(event.key.functionalKey());
    switch (code.form) {
    case KittyKeyForm::letter:
        return writer.letter(static_cast<uint8_t>(code.number));
    case KittyKeyForm::tilde:
        return writer.tilde(static_cast<uint64_t>(code.number));
    case KittyKeyForm::special:
        if (event.key.isFunctional(Key::escape))
            return writer.csiU(27, nullptr);
        return writer.csiU(static_cast<uint64_t>(code.number), text);
    case KittyKeyForm::csiU:
        break;
    }
    return writer.csiU(static_cast<uint64_t>(code.number), text);
}

// The cursor and function keys whose unmodified legacy form is SS3 letter.
bool usesSs3(const KittyKeyboardEncoder &encoder, Key key)
{
    switch (key) {
    case Key::up:
    case Key::down:
    case Key::left:
    case Key::right:
    case Key::home:
    case Key::end:
        return encoder.applicationCursor;
    case Key::f1:
    case Key::f2:
    case Key::f4:
        return true;
    default:
        return false;
    }
}

std::optional<Bytes> encodeFunctionalKeySequence(const KittyKeyboardEncoder &encoder,
                                                 const KittyKeyEvent &event, bool needsSequence)
{
    const bool disambiguates = encoder.flags.contains(Flags::disambiguateEscapeCodes);
    const SequenceWriter writer(event, encoder.flags);
    const Key key = event.key.functionalKey();
    const KittyFunctionalKeyCode code = kittyFunctionalKeyCode(key);
    switch (code.form) {
    case KittyKeyForm::special:
        if (disambiguates && (key == Key::escape || needsSequence))
            return writer.csiU(static_cast<uint64_t>(code.number), nullptr);
        return legacySpecialKey(encoder, event);
    case KittyKeyForm::letter:
        if (disambiguates || needsSequence)
            return writer.letter(static_cast<uint8_t>(code.number));
        return Bytes{esc, static_cast<uint8_t>(usesSs3(encoder, key) ? 'O' : '['),
                     static_cast<uint8_t>(code.number)};
    case KittyKeyForm::tilde:
        return writer.tilde(static_cast<uint64_t>(code.number));
    case KittyKeyForm::csiU:
        break;
    }
    return writer.csiU(static_cast<uint64_t>(code.number), nullptr);
}

// Escape sequences where the legacy encoding is ambiguous or cannot carry the event; legacy
// bytes everywhere else. Never carries text.
std::optional<Bytes> encodeEscapeSequence(const KittyKeyboardEncoder &encoder, const KittyKeyEvent &event)
{
    const bool needsSequence =
        !event.modifiers.isEmpty() ||
        (encoder.flags.contains(Flags::reportEventTypes) && event.eventType != KittyKeyboardEventType::press);
    const SequenceWriter writer(event, encoder.flags);
    switch (event.key.kind()) {
    case KittyKey::Kind::none:
        return writer.csiU(0, nullptr);
    case KittyKey::Kind::unicode:
        if (!encoder.flags.contains(Flags::disambiguateEscapeCodes)) {
            if (auto legacy = legacyText(event))
                return legacy;
        }
        return writer.csiU(event.key.scalar(), nullptr);
    case KittyKey::Kind::functional:
        break;
    }
    return encodeFunctionalKeySequence(encoder, event, needsSequence);
}

std::optional<Bytes> encodeWithText(const KittyKeyboardEncoder &encoder, const KittyKeyEvent &event,
                                    bool reportsText)
{
    const std::string &text = *event.text;
    // Printable text on Enter or Backspace is an input-method commit, not the key itself.
    if (isFunctional(event, {Key::enter, Key::backspace}) && !containsControlCharacter(text)) {
        if (event.key.isFunctional(Key::backspace))
            return std::nullopt;
        return textBytes(text);
    }
    const KittyKeyboardFlags flags = encoder.flags;
    if (flags.contains(Flags::reportAllKeysAsEscapeCodes))
        return encodeAllKeysAsEscapeCodes(encoder, event, reportsText);
    if (event.key.kind() == KittyKey::Kind::functional)
        return encodeEscapeSequence(encoder, event);

    const Mods modifiers = event.modifiers;
    const bool reportsAlternate =
        flags.contains(Flags::reportAlternateKeys) &&
        (modifiers.contains(Mods::shift) || event.shiftedKey || event.baseLayoutKey);
    const bool disambiguates =
        flags.contains(Flags::disambiguateEscapeCodes) && modifiers.intersects(Mods::alt | Mods::ctrl);
    if (reportsAlternate || disambiguates)
        return encodeEscapeSequence(encoder, event);
    if (event.eventType == KittyKeyboardEventType::release)
        return std::nullopt;
    return textBytes(text);
}

} // namespace

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::encode(const KittyKeyEvent &event) const
{
    const bool reportsAllKeys = flags.contains(Flags::reportAllKeysAsEscapeCodes);
    const bool isRelease = event.eventType == KittyKeyboardEventType::release;
    if (isRelease && !flags.contains(Flags::reportEventTypes))
        return std::nullopt;

    const bool reportsText =
        reportsAllKeys && flags.contains(Flags::reportAssociatedText) && !isRelease &&
        !event.modifiers.intersects(Mods::alt | Mods::ctrl | Mods::super | Mods::hyper | Mods::meta);
    // Without all keys as escape codes, releasing Enter, Tab or Backspace is never reported, so a
    // program that leaves the mode on still sees plain keys a shell can use.
    if (!reportsAllKeys && isRelease && isFunctional(event, {Key::enter, Key::tab, Key::backspace}))
        return std::nullopt;

    const bool isModifierKey =
        event.key.kind() == KittyKey::Kind::functional && isKittyModifierKey(event.key.functionalKey());
    if (isModifierKey && !reportsAllKeys)
        return std::nullopt;
    if (event.composing && !isModifierKey)
        return std::nullopt;

    if (event.text && !event.text->empty())
        return encodeWithText(*this, event, reportsText);
    if (reportsAllKeys)
        return encodeAllKeysAsEscapeCodes(*this, event, reportsText);
    return encodeEscapeSequence(*this, event);
}

} // namespace kestrix
