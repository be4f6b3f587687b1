#include "Kestrix/model/Color.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace kestrix {

namespace {

// One channel of a colour text as read from the text: its value and how many hex digits
// it had.
struct ChannelReading {
    uint32_t value = 0;
    int digits = 0;
};

std::optional<uint32_t> hexDigitValue(uint8_t byte)
{
    if (byte >= '0' && byte <= '9') {
        return byte - '0';
    }
    if (byte >= 'a' && byte <= 'f') {
        return byte - 'a' + 10;
    }
    if (byte >= 'A' && byte <= 'F') {
        return byte - 'A' + 10;
    }
    return std::nullopt;
}

// Reads up to four hex digits from `position`. A character that is not a hex digit ends the channel
// and is consumed; a "/" right after the channel is consumed too. A fifth digit is left for the
// next channel.
ChannelReading readChannel(std::span<const uint8_t> text, size_t &position)
{
    ChannelReading reading;
    while (position < text.size() && reading.digits < 4) {
        const auto digit = hexDigitValue(text[position]);
        ++position;
        if (!digit) {
            break;
        }
        reading.value = reading.value * 16 + *digit;
        ++reading.digits;
    }
    if (position < text.size() && text[position] == '/') {
        ++position;
    }
    return reading;
}

// Widens a channel to 16 bits by the digit count of the whole colour text. Shorter forms repeat
// their top bits into the low ones, so "f", "ff", "fff" and "ffff" all reach the top of the scale
// except the one-digit form, which xterm widens to 0xf0f0.
std::optional<uint16_t> widenChannel(uint32_t value, int digitCount)
{
    switch (digitCount) {
    case 1:
        return static_cast<uint16_t>(value * 0x1010);
    case 2:
        return static_cast<uint16_t>(value * 0x0101);
    case 3:
        return static_cast<uint16_t>((value << 4) | (value >> 8));
    case 4:
        return static_cast<uint16_t>(value);
    default:
        return std::nullopt;
    }
}

std::optional<Color> colorFromReadings(const std::array<ChannelReading, 3> &channels, int digitCount)
{
    const auto red = widenChannel(channels[0].value, digitCount);
    const auto green = widenChannel(channels[1].value, digitCount);
    const auto blue = widenChannel(channels[2].value, digitCount);
    if (!red || !green || !blue) {
        return std::nullopt;
    }
    return Color{*red, *green, *blue};
}

// "#" followed by three equal groups of 1 to 4 characters.
std::optional<Color> parseHashForm(std::span<const uint8_t> digits)
{
    if (digits.size() != 3 && digits.size() != 6 && digits.size() != 9 && digits.size() != 12) {
        return std::nullopt;
    }
    const size_t groupLength = digits.size() / 3;
    std::array<ChannelReading, 3> channels;
    for (size_t channel = 0; channel < 3; ++channel) {
        size_t position = 0;
        channels[channel] = readChannel(digits.subspan(channel * groupLength, groupLength), position);
    }
    return colorFromReadings(channels, static_cast<int>(groupLength));
}

// "rgb:" followed by three channels of 1 to 4 hex digits, separated by "/".
std::optional<Color> parseRgbForm(std::span<const uint8_t> text)
{
    constexpr std::string_view prefix = "rgb:";
    if (text.size() < prefix.size() || !std::equal(prefix.begin(), prefix.end(), text.begin())) {
        return std::nullopt;
    }
    size_t position = prefix.size();
    std::array<ChannelReading, 3> channels;
    int digitCount = 0;
    for (auto &channel : channels) {
        channel = readChannel(text, position);
        digitCount = std::max(digitCount, channel.digits);
    }
    if (digitCount == 0) {
        return std::nullopt;
    }
    return colorFromReadings(channels, digitCount);
}

double linearize(double x)
{
    return x > 0.04045 ? std::pow((x + 0.055) / 1.055, 2.4) : x / 12.92;
}

double labF(double t)
{
    return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
}

double labFInverse(double t)
{
    const double cube = t * t * t;
    return cube > 0.008856 ? cube : (t - 16.0 / 116.0) / 7.787;
}

double gammaCompress(double c)
{
    return c > 0.0031308 ? 1.055 * std::pow(c, 1.0 / 2.4) - 0.055 : 12.92 * c;
}

// 16-bit channel to the 0...1 range, through its 8-bit value.
double unitChannel(uint16_t channel)
{
    const double eightBit = std::min(std::round(channel / 65535.0 * 255.0), 255.0);
    return eightBit / 255.0;
}

uint16_t channelFromUnit(double c)
{
    const int eightBit = c < 1 ? static_cast<int>(std::max(c, 0.0) * 255.0 + 0.5) : 255;
    return static_cast<uint16_t>(eightBit * 0x0101);
}

} // namespace

std::optional<Color> Color::parseColor(std::span<const uint8_t> text)
{
    if (!text.empty() && text[0] == '#') {
        return parseHashForm(text.subspan(1));
    }
    return parseRgbForm(text);
}

std::optional<Color> Color::parseColor(std::string_view text)
{
    return parseColor(std::span(reinterpret_cast<const uint8_t *>(text.data()), text.size()));
}

std::string Color::formatAsXtermRgb() const
{
    char formatted[24];
    std::snprintf(formatted, sizeof formatted, "rgb:%04x/%04x/%04x", unsigned{red}, unsigned{green},
                  unsigned{blue});
    return formatted;
}

Color::LabColor Color::toLab() const
{
    const double r = linearize(unitChannel(red));
    const double g = linearize(unitChannel(green));
    const double b = linearize(unitChannel(blue));

    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.072175 * b;
    const double z = (0.0193339 * r + 0.119192 * g + 0.9503041 * b) / 1.08883;

    const double fx = labF(x);
    const double fy = labF(y);
    const double fz = labF(z);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

Color Color::fromLab(const LabColor &lab)
{
    const double fy = (lab.l + 16) / 116;
    const double fx = fy + lab.a / 500;
    const double fz = fy - lab.b / 200;

    const double x = labFInverse(fx) * 0.95047;
    const double y = labFInverse(fy);
    const double z = labFInverse(fz) * 1.08883;

    const double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
    const double g = -0.969266 * x + 1.8760108 * y + 0.041556 * z;
    const double b = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;

    return {channelFromUnit(gammaCompress(r)), channelFromUnit(gammaCompress(g)),
            channelFromUnit(gammaCompress(b))};
}

const Color &Color::defaultForeground()
{
    static const Color color{0x8A3D, 0x8A3D, 0x8A3D};
    return color;
}

const Color &Color::defaultBackground()
{
    static const Color color{0, 0, 0};
    return color;
}

const std::vector<Color> &Color::defaultInstalledColors()
{
    static const std::vector<Color> colors{
        fromRgb8(0, 0, 0),       fromRgb8(194, 54, 33),  fromRgb8(37, 188, 36),  fromRgb8(173, 173, 39),
        fromRgb8(73, 46, 225),   fromRgb8(211, 56, 211), fromRgb8(51, 187, 200), fromRgb8(203, 204, 205),
        fromRgb8(129, 131, 131), fromRgb8(252, 57, 31),  fromRgb8(49, 231, 34),  fromRgb8(234, 236, 35),
        fromRgb8(88, 51, 255),   fromRgb8(249, 53, 248), fromRgb8(20, 240, 240), fromRgb8(233, 235, 235),
    };
    return colors;
}

} // namespace kestrix
