#include "Kestrix/model/Ansi256PaletteStrategy.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

Color grey(uint16_t level)
{
    return {level, level, level};
}

TEST(Ansi256PaletteStrategy, XtermPaletteAppendsTheCubeAndGreyRamp)
{
    const auto &base = Color::defaultInstalledColors();
    const auto palette = makeXtermPalette(base);
    ASSERT_EQ(palette.size(), 256u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(palette[i], base[i]);
    }
    EXPECT_EQ(palette[16], grey(0));
    EXPECT_EQ(palette[17], (Color{0, 0, 95 * 257}));
    EXPECT_EQ(palette[16 + 36 * 5 + 6 * 2 + 1], Color::fromRgb8(255, 135, 95));
    EXPECT_EQ(palette[231], grey(0xFFFF));
    EXPECT_EQ(palette[232], grey(0x0808));
    EXPECT_EQ(palette[233], grey(0x1212));
    EXPECT_EQ(palette[255], grey(0xEEEE));
}

TEST(Ansi256PaletteStrategy, LabPaletteOverFewerThanEightColoursIsTheXtermPalette)
{
    const auto &installed = Color::defaultInstalledColors();
    const std::span<const Color> seven(installed.data(), 7);
    const auto lab = makeLabPalette(seven, Color{1, 2, 3}, Color{4, 5, 6}, false);
    EXPECT_EQ(lab.size(), 7u + 240u);
    EXPECT_EQ(lab, makeXtermPalette(seven));
}

TEST(Ansi256PaletteStrategy, LabPaletteInterpolatesBetweenBackgroundAndForeground)
{
    const auto &base = Color::defaultInstalledColors();
    const Color background = Color::fromRgb8(10, 20, 30);
    const Color foreground = Color::fromRgb8(220, 210, 200);
    const auto palette = makeLabPalette(base, background, foreground, false);
    ASSERT_EQ(palette.size(), 256u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(palette[i], base[i]);
    }
    // The cube's corners are the eight base colours, with background and foreground in place of
    // black and white.
    EXPECT_EQ(palette[16], background);
    EXPECT_EQ(palette[16 + 5], base[4]);
    EXPECT_EQ(palette[16 + 36 * 5], base[1]);
    EXPECT_EQ(palette[16 + 36 * 5 + 6 * 5 + 5], foreground);
    // The greys run from the background to the foreground without reaching either.
    EXPECT_NE(palette[232], background);
    EXPECT_LT(palette[232].red, palette[255].red);
    EXPECT_NE(palette[255], foreground);
    EXPECT_EQ(palette[16 + 36 * 5 + 6 * 5 + 5], Color::fromLab(foreground.toLab()));
}

TEST(Ansi256PaletteStrategy, LabPaletteDefaultsBackgroundAndForegroundToBaseColours)
{
    const auto &base = Color::defaultInstalledColors();
    EXPECT_EQ(makeLabPalette(base, std::nullopt, std::nullopt, false),
              makeLabPalette(base, base[0], base[7], false));
}

TEST(Ansi256PaletteStrategy, LightThemeSwapsUnlessHarmonious)
{
    const auto &base = Color::defaultInstalledColors();
    const Color background = Color::fromRgb8(250, 250, 245);
    const Color foreground = Color::fromRgb8(30, 30, 40);

    const auto swapped = makeLabPalette(base, background, foreground, false);
    EXPECT_EQ(swapped[16], foreground);
    EXPECT_EQ(swapped[231], background);
    // The greys start near the foreground and run towards the background.
    EXPECT_LT(swapped[232].red, swapped[255].red);

    const auto harmonious = makeLabPalette(base, background, foreground, true);
    EXPECT_EQ(harmonious[16], background);
    EXPECT_EQ(harmonious[231], foreground);
    EXPECT_GT(harmonious[232].red, harmonious[255].red);
}

} // namespace
} // namespace kestrix
