#pragma once

#include "Kestrix/graphics/DcsHandler.h"
#include "Kestrix/model/Color.h"

#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <vector>

namespace kestrix {

// Decodes one Sixel image (DCS q ... ST) into RGBA pixels and hands them to its sink when the string
// ends. Colour registers start empty for every image; undefined ones fall back to the default
// colours it was given, or to transparent beyond them.
class SixelDcsHandler final : public DcsHandler {
public:
    static constexpr uint8_t poundChar = 35;
    // A host chooses the extent freely: pixels beyond these bounds are dropped, so the raster and the
    // painting work stay bounded whatever the data says.
    static constexpr int64_t maximumWidth = 4096;
    static constexpr int64_t maximumHeight = 4096;
    static constexpr int64_t maximumPixels = 3072 * 3072;
    // Real images paint each pixel about once; painting stops after this many times the raster.
    static constexpr int64_t paintingBudgetPerPixel = 16;
    // Registers at or above this are never defined.
    static constexpr int64_t colorRegisterCount = 65536;

    // Receives the finished image: RGBA rows of `width` pixels, `height` rows.
    using ImageSink = std::function<void(std::span<const uint8_t> pixels, int64_t width, int64_t height)>;

    // `defaultColors` must outlive the handler.
    SixelDcsHandler(const std::vector<Color> &defaultColors, ImageSink sink);

    void unhook() override;
    // Defines a colour register from the numbers of a colour command (register, colour space, three
    // components); fewer than five numbers or an unknown space define nothing.
    void defineColor(std::span<const int64_t> parameters);

    // Hue in degrees (blue at 0), lightness and saturation in percent, as red << 16 | green << 8 | blue.
    static uint32_t sixelHlsToRgb(int64_t hue, int64_t lightness, int64_t saturation);

private:
    // A colour command: the numbers after "#" and where decoding continues.
    struct ColorCommand {
        std::vector<int64_t> numbers;
        size_t next = 0;
    };

    ColorCommand readColorCommand(size_t start) const;
    // Finds the raster's extent; returns the end of the drawing data.
    size_t measure(size_t start);
    void paint(size_t start, size_t end);
    uint32_t resolveRegister(int64_t index) const;
    void paintSixel(uint8_t bits, int64_t repeat, uint32_t color);

    const std::vector<Color> &defaultColors_;
    ImageSink sink_;
    std::unordered_map<int64_t, uint32_t> palette_;
    std::vector<uint8_t> pixels_;
    int64_t x_ = 0;
    int64_t y_ = 0;
    int64_t maxX_ = 0;
    int64_t maxY_ = 0;
    int64_t paintingBudget_ = 0;
};

} // namespace kestrix
