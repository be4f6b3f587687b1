#include "Kestrix/graphics/SixelDcsHandler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace kestrix {

namespace {

// Colours are packed as red << 24 | green << 16 | blue << 8 | alpha.
constexpr uint32_t opaque = 0xFF;
// Numbers in the data saturate here; every use bounds them further.
constexpr int64_t largestNumber = 1'000'000'000;
// A colour command uses its first five numbers; the rest are read and dropped.
constexpr size_t keptColorNumbers = 5;

bool isDigit(uint8_t byte)
{
    return byte >= '0' && byte <= '9';
}

bool isSixel(uint8_t byte)
{
    return byte >= '?' && byte <= '~';
}

int64_t percentToByte(int64_t percent)
{
    return std::clamp<int64_t>(percent, 0, 100) * 255 / 100;
}

// The count of a repeat introducer "!" whose digits start at `i`; `i` ends past them. The count
// saturates at `limit`.
int64_t readRepeatCount(const std::vector<uint8_t> &bytes, size_t &i, int64_t limit)
{
    int64_t repeat = 0;
    for (; i < bytes.size() && isDigit(bytes[i]); ++i) {
        repeat = std::min(repeat * 10 + (bytes[i] - '0'), limit);
    }
    return repeat;
}

} // namespace

SixelDcsHandler::SixelDcsHandler(const std::vector<Color> &defaultColors, ImageSink sink)
    : defaultColors_(defaultColors)
    , sink_(std::move(sink))
{
}

void SixelDcsHandler::unhook()
{
    palette_.clear();
    pixels_.clear();
    x_ = y_ = maxX_ = maxY_ = 0;
    // Sixels before any colour selection paint with register 0: monochrome encoders select none.
    const size_t end = measure(0);
    pixels_.assign(static_cast<size_t>(maxX_ * maxY_ * 4), 0);
    paint(0, end);
    if (sink_) {
        sink_(pixels_, maxX_, maxY_);
    }
}

SixelDcsHandler::ColorCommand SixelDcsHandler::readColorCommand(size_t start) const
{
    const std::vector<uint8_t> &bytes = data();
    ColorCommand command;
    size_t i = start;
    while (true) {
        size_t digits = i;
        if (digits < bytes.size() && bytes[digits] == ';') {
            ++digits;
        }
        if (digits >= bytes.size() || !isDigit(bytes[digits])) {
            break;
        }
        int64_t number = 0;
        for (i = digits; i < bytes.size() && isDigit(bytes[i]); ++i) {
            number = std::min(number * 10 + (bytes[i] - '0'), largestNumber);
        }
        if (command.numbers.size() < keptColorNumbers) {
            command.numbers.push_back(number);
        }
    }
    command.next = i;
    return command;
}

size_t SixelDcsHandler::measure(size_t start)
{
    const std::vector<uint8_t> &bytes = data();
    int64_t repeat = 1;
    size_t i = start;
    while (i < bytes.size()) {
        const uint8_t byte = bytes[i];
        if (byte == poundChar) {
            const ColorCommand command = readColorCommand(i + 1);
            if (command.numbers.empty()) {
                break;
            }
            i = command.next;
            continue;
        }
        if (isSixel(byte)) {
            const auto bits = static_cast<uint8_t>(byte - '?');
            if (bits != 0) {
                maxY_ = std::max(maxY_, std::min(y_ + std::bit_width(bits), maximumHeight));
            }
            x_ = std::min(x_ + repeat, maximumWidth);
            repeat = 1;
        } else if (byte == '$') {
            maxX_ = std::max(maxX_, x_);
            x_ = 0;
        } else if (byte == '-') {
            y_ = std::min<int64_t>(y_ + 6, maximumHeight);
            maxX_ = std::max(maxX_, x_);
            x_ = 0;
        } else if (byte == '!' && i + 1 < bytes.size() && isDigit(bytes[i + 1])) {
            ++i;
            repeat = readRepeatCount(bytes, i, maximumWidth);
            continue;
        }
        ++i;
    }
    maxX_ = std::max(maxX_, x_);
    if (maxX_ > 0 && maxX_ * maxY_ > maximumPixels) {
        maxY_ = maximumPixels / maxX_;
    }
    return i;
}

void SixelDcsHandler::paint(size_t start, size_t end)
{
    const std::vector<uint8_t> &bytes = data();
    x_ = y_ = 0;
    paintingBudget_ = std::max<int64_t>(paintingBudgetPerPixel * maxX_ * maxY_, 1 << 20);
    int64_t repeat = 1;
    uint32_t color = resolveRegister(0);
    size_t i = start;
    while (i < end && paintingBudget_ > 0) {
        const uint8_t byte = bytes[i];
        if (byte == poundChar) {
            const ColorCommand command = readColorCommand(i + 1);
            if (command.numbers.size() > 1) {
                defineColor(command.numbers);
            }
            if (command.numbers.empty()) {
                break;
            }
            color = resolveRegister(command.numbers.front());
            i = command.next;
            continue;
        }
        if (isSixel(byte)) {
            paintSixel(static_cast<uint8_t>(byte - '?'), repeat, color);
            x_ = std::min(x_ + repeat, maximumWidth);
            repeat = 1;
        } else if (byte == '$') {
            x_ = 0;
        } else if (byte == '-') {
            y_ = std::min<int64_t>(y_ + 6, maximumHeight);
            x_ = 0;
        } else if (byte == '!' && i + 1 < bytes.size() && isDigit(bytes[i + 1])) {
            ++i;
            repeat = readRepeatCount(bytes, i, maximumWidth);
            continue;
        }
        ++i;
    }
}

void SixelDcsHandler::paintSixel(uint8_t bits, int64_t repeat, uint32_t color)
{
    const int64_t columns = std::min(repeat, maxX_ - x_);
    if (bits == 0 || columns <= 0) {
        return;
    }
    const uint8_t rgba[4] = {static_cast<uint8_t>(color >> 24), static_cast<uint8_t>(color >> 16),
                             static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color)};
    for (int j = 0; j < 6; ++j) {
        const int64_t row = y_ + j;
        if ((bits & (1 << j)) == 0 || row >= maxY_) {
            continue;
        }
        uint8_t *pixel = pixels_.data() + (row * maxX_ + x_) * 4;
        for (int64_t c = 0; c < columns; ++c, pixel += 4) {
            std::copy_n(rgba, 4, pixel);
        }
        paintingBudget_ -= columns;
    }
}

uint32_t SixelDcsHandler::resolveRegister(int64_t index) const
{
    if (const auto defined = palette_.find(index); defined != palette_.end()) {
        return defined->second;
    }
    const std::vector<Color> &defaults = defaultColors_;
    if (index >= 0 && index < static_cast<int64_t>(defaults.size())) {
        const Color &c = defaults[static_cast<size_t>(index)];
        return static_cast<uint32_t>(c.red >> 8) << 24 | static_cast<uint32_t>(c.green >> 8) << 16 |
               static_cast<uint32_t>(c.blue >> 8) << 8 | opaque;
    }
    return 0;
}

void SixelDcsHandler::defineColor(std::span<const int64_t> parameters)
{
    if (parameters.size() < 5 || parameters[0] < 0 || parameters[0] >= colorRegisterCount) {
        return;
    }
    uint32_t rgb = 0;
    switch (parameters[1]) {
    case 1:
        rgb = sixelHlsToRgb(std::clamp<int64_t>(parameters[2], 0, 360),
                            std::clamp<int64_t>(parameters[3], 0, 100),
                            std::clamp<int64_t>(parameters[4], 0, 100));
        break;
    case 2:
        rgb = static_cast<uint32_t>(percentToByte(parameters[2]) << 16 | percentToByte(parameters[3]) << 8 |
                                    percentToByte(parameters[4]));
        break;
    default:
        return;
    }
    palette_[parameters[0]] = rgb << 8 | opaque;
}

uint32_t SixelDcsHandler::sixelHlsToRgb(int64_t hue, int64_t lightness, int64_t saturation)
{
    if (saturation == 0) {
        const auto grey = static_cast<uint32_t>(percentToByte(lightness));
        return grey << 16 | grey << 8 | grey;
    }
    // Sixel puts blue at 0 degrees; turned so that red is at 0.
    const auto h = static_cast<double>((hue + 240) % 360);
    const auto l = static_cast<double>(lightness);
    const double c = (1 - std::abs(2 * l / 100 - 1)) * static_cast<double>(saturation) * 0.5;
    const double largest = l + c;
    const double smallest = l - c;
    const double d = largest - smallest;
    double red = smallest;
    double green = smallest;
    double blue = smallest;
    switch (static_cast<int>(h / 60)) {
    case 0:
        red = largest, green = smallest + h / 60 * d;
        break;
    case 1:
        red = smallest + (120 - h) / 60 * d, green = largest;
        break;
    case 2:
        green = largest, blue = smallest + (h - 120) / 60 * d;
        break;
    case 3:
        green = smallest + (240 - h) / 60 * d, blue = largest;
        break;
    case 4:
        red = smallest + (h - 240) / 60 * d, blue = largest;
        break;
    default:
        red = largest, blue = smallest + (360 - h) / 60 * d;
        break;
    }
    const auto channel = [](double percent) {
        return static_cast<uint32_t>(percentToByte(static_cast<int64_t>(percent)));
    };
    return channel(red) << 16 | channel(green) << 8 | channel(blue);
}

} // namespace kestrix
