#include "Kestrix/model/Color.h"

#include <gtest/gtest.h>
#include <string>
#include <unordered_set>

namespace kestrix {
namespace {

struct ParseCase {
    std::string text;
    std::optional<Color> expected;
};

TEST(Color, ParsesHashAndRgbSpecificationsLikeXterm)
{
    const ParseCase cases[] = {
        {"#fff", Color{0xF0F0, 0xF0F0, 0xF0F0}},
        {"#ffffff", Color{0xFFFF, 0xFFFF, 0xFFFF}},
        {"#fffffffff", Color{0xFFFF, 0xFFFF, 0xFFFF}},
        {"#ffffffffffff", Color{0xFFFF, 0xFFFF, 0xFFFF}},
        {"#123", Color{0x1010, 0x2020, 0x3030}},
        {"#102030", Color{0x1010, 0x2020, 0x3030}},
        {"#abc123def", Color{0xABCA, 0x1231, 0xDEFD}},
        {"#12345678abcd", Color{0x1234, 0x5678, 0xABCD}},
        {"#1x2233", Color{0x0101, 0x2222, 0x3333}},
        {"#xyz", Color{0, 0, 0}},
        {"#ABCDEF", Color{0xABAB, 0xCDCD, 0xEFEF}},
        {"#", std::nullopt},
        {"#12", std::nullopt},
        {"#12345", std::nullopt},
        {"#1234567", std::nullopt},
        {"", std::nullopt},
        {"rgb:ffff/0/0", Color{0xFFFF, 0, 0}},
        {"rgb:1/22/3", Color{0x0101, 0x2222, 0x0303}},
        {"rgb:ff", Color{0xFFFF, 0, 0}},
        {"rgb:f/f/f", Color{0xF0F0, 0xF0F0, 0xF0F0}},
        {"rgb:fff/000/800", Color{0xFFFF, 0, 0x8008}},
        {"rgb:12345/6/7", Color{0x1234, 0x0005, 0x0006}},
        {"rgb:8a3d/8A3D/0000", Color{0x8A3D, 0x8A3D, 0}},
        {"rgb:1/2/3/ignored", Color{0x1010, 0x2020, 0x3030}},
        {"RGB:1/2/3", std::nullopt},
        {"rgb:", std::nullopt},
        {"rgb", std::nullopt},
        {"rgb:x/y/z", std::nullopt},
        {"red", std::nullopt},
    };
    for (const auto &testCase : cases) {
        EXPECT_EQ(Color::parseColor(testCase.text), testCase.expected) << testCase.text;
    }
}

TEST(Color, FormatsAsXtermRgbWithFourLowerCaseDigitsPerChannel)
{
    EXPECT_EQ((Color{0xFFFF, 0x8A3D, 0}).formatAsXtermRgb(), "rgb:ffff/8a3d/0000");
    EXPECT_EQ((Color{0, 0, 0}).formatAsXtermRgb(), "rgb:0000/0000/0000");
    EXPECT_EQ((Color{0x0001, 0x0A0B, 0xFFFE}).formatAsXtermRgb(), "rgb:0001/0a0b/fffe");
}

TEST(Color, FormattedColorParsesBackToItself)
{
    for (const Color &color : Color::defaultInstalledColors()) {
        EXPECT_EQ(Color::parseColor(color.formatAsXtermRgb()), color);
    }
}

TEST(Color, SharedDefaultsHoldTheEngineColours)
{
    EXPECT_EQ(Color::defaultForeground(), (Color{0x8A3D, 0x8A3D, 0x8A3D}));
    EXPECT_EQ(Color::defaultBackground(), (Color{0, 0, 0}));
    const auto &installed = Color::defaultInstalledColors();
    ASSERT_EQ(installed.size(), 16u);
    EXPECT_EQ(installed[0], (Color{0, 0, 0}));
    EXPECT_EQ(installed[1], (Color{194 * 257, 54 * 257, 33 * 257}));
    EXPECT_EQ(installed[12], (Color{88 * 257, 51 * 257, 0xFFFF}));
    EXPECT_EQ(installed[15], (Color{233 * 257, 235 * 257, 235 * 257}));
}

TEST(Color, LabRoundTripKeepsEightBitColours)
{
    for (const Color &color : Color::defaultInstalledColors()) {
        EXPECT_EQ(Color::fromLab(color.toLab()), color) << color.formatAsXtermRgb();
    }
    EXPECT_EQ(Color::fromLab(Color::fromRgb8(255, 255, 255).toLab()), Color::fromRgb8(255, 255, 255));
}

TEST(Color, LabOfReferenceColours)
{
    const auto white = Color::fromRgb8(255, 255, 255).toLab();
    EXPECT_NEAR(white.l, 100.0, 0.01);
    EXPECT_NEAR(white.a, 0.0, 0.01);
    EXPECT_NEAR(white.b, 0.0, 0.01);

    const auto black = Color{0, 0, 0}.toLab();
    EXPECT_NEAR(black.l, 0.0, 0.01);

    const auto red = Color::fromRgb8(255, 0, 0).toLab();
    EXPECT_NEAR(red.l, 53.24, 0.05);
    EXPECT_NEAR(red.a, 80.09, 0.05);
    EXPECT_NEAR(red.b, 67.20, 0.05);
}

TEST(Color, FromLabClampsColoursOutsideTheDisplayableRange)
{
    EXPECT_EQ(Color::fromLab({150, 0, 0}), Color::fromRgb8(255, 255, 255));
    EXPECT_EQ(Color::fromLab({-20, 0, 0}), Color::fromRgb8(0, 0, 0));
    const auto saturated = Color::fromLab({50, 200, -200});
    EXPECT_EQ(saturated.green, 0);
}

TEST(Color, EqualColoursHashAlike)
{
    std::unordered_set<Color> colors{Color{1, 2, 3}, Color{1, 2, 3}, Color{3, 2, 1}};
    EXPECT_EQ(colors.size(), 2u);
}

} // namespace
} // namespace kestrix
