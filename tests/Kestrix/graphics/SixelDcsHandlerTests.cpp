#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/graphics/SixelDcsHandler.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrix {
namespace {

struct Bitmap {
    std::vector<uint8_t> bytes;
    int64_t width = 0;
    int64_t height = 0;

    std::array<uint8_t, 4> at(int64_t col, int64_t row) const
    {
        const auto i = static_cast<size_t>((row * width + col) * 4);
        return {bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]};
    }
};

class BitmapDelegate final : public TerminalDelegate {
public:
    void terminalBitmapImage(Terminal &, std::span<const uint8_t> bytes, int64_t width,
                             int64_t height) override
    {
        bitmaps.push_back({{bytes.begin(), bytes.end()}, width, height});
    }
    std::vector<Bitmap> bitmaps;
};

struct SixelFixture : ::testing::Test {
    BitmapDelegate delegate;
    Terminal terminal{&delegate, TerminalOptions{}};

    Bitmap decode(std::string_view sixel)
    {
        terminal.feedString("\x1bPq" + std::string(sixel) + "\x1b\\");
        EXPECT_EQ(delegate.bitmaps.size(), 1u);
        return delegate.bitmaps.empty() ? Bitmap{} : delegate.bitmaps.back();
    }

    std::array<uint8_t, 4> defaultColor(size_t index) const
    {
        const Color &c = terminal.defaultAnsiColors.at(index);
        return {static_cast<uint8_t>(c.red >> 8), static_cast<uint8_t>(c.green >> 8),
                static_cast<uint8_t>(c.blue >> 8), 255};
    }
};

using Rgba = std::array<uint8_t, 4>;
constexpr Rgba red{255, 0, 0, 255};
constexpr Rgba green{0, 255, 0, 255};
constexpr Rgba blue{0, 0, 255, 255};
constexpr Rgba transparent{0, 0, 0, 0};

TEST_F(SixelFixture, DecodesRastersOfTheSizeTheSixelsReach)
{
    struct Case {
        std::string_view data;
        int64_t width;
        int64_t height;
        Rgba everyPixel;
    };
    const Case cases[] = {
        {"#0;2;100;0;0#0~~-", 2, 6, red},
        {"#0;2;100;0;0#0~~", 2, 6, red},
        {"#0;2;0;0;100#0!5~", 5, 6, blue},
        {"#1;1;0;50;100#1~", 1, 6, blue},
        {"#1;1;120;50;100#1~", 1, 6, red},
        {"#1;1;240;50;100#1~", 1, 6, green},
        {"#999~", 1, 6, transparent},
        // Raster attributes before the first colour are not read.
        {"\"1;1;40;40#0;2;0;100;0#0~~", 2, 6, green},
        // Only the bits set reach down: "A" (2) ends at row 2.
        {"#0;2;100;0;0#0A", 1, 2, transparent},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.data);
        delegate.bitmaps.clear();
        const Bitmap bitmap = decode(each.data);
        ASSERT_EQ(bitmap.width, each.width);
        ASSERT_EQ(bitmap.height, each.height);
        ASSERT_EQ(bitmap.bytes.size(), static_cast<size_t>(each.width * each.height * 4));
        if (each.data.back() != 'A') {
            for (int64_t row = 0; row < bitmap.height; ++row) {
                EXPECT_EQ(bitmap.at(0, row), each.everyPixel);
                EXPECT_EQ(bitmap.at(bitmap.width - 1, row), each.everyPixel);
            }
        } else {
            EXPECT_EQ(bitmap.at(0, 0), transparent);
            EXPECT_EQ(bitmap.at(0, 1), red);
        }
    }
}

TEST_F(SixelFixture, RegistersFallBackToTheDefaultColoursAndUnknownSpacesDefineNothing)
{
    EXPECT_EQ(decode("#3~").at(0, 0), defaultColor(3));
    delegate.bitmaps.clear();
    EXPECT_EQ(decode("#0;5;1;2;3#0~").at(0, 5), defaultColor(0));
    delegate.bitmaps.clear();
    const Bitmap grey = decode("#2;2;50;50;50#2?");
    EXPECT_EQ(grey.width, 1);
    EXPECT_EQ(grey.height, 0);
}

TEST_F(SixelFixture, LaterPassesOverpaintAndANumberlessColourEndsTheImage)
{
    const Bitmap overpainted = decode("#0;2;100;0;0#0~$#1;2;0;100;0#1~");
    EXPECT_EQ(overpainted.width, 1);
    EXPECT_EQ(overpainted.at(0, 3), green);

    delegate.bitmaps.clear();
    const Bitmap stopped = decode("#0;2;100;0;0#0~#~");
    EXPECT_EQ(stopped.width, 1);
    EXPECT_EQ(stopped.height, 6);
    EXPECT_EQ(stopped.at(0, 0), red);
}

TEST_F(SixelFixture, SixelsBeforeAnyColourPaintWithRegisterZero)
{
    struct Case {
        std::string_view data;
        int64_t width;
        int64_t height;
    };
    // Monochrome encoders select no colour; some give the raster attributes first.
    const Case cases[] = {
        {"~~~~", 4, 6},
        {"~~~-~~", 3, 12},
        {"\"1;1;4;6~~~~-", 4, 6},
        {"!3~$-~", 3, 12},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.data);
        delegate.bitmaps.clear();
        const Bitmap bitmap = decode(each.data);
        ASSERT_EQ(bitmap.width, each.width);
        ASSERT_EQ(bitmap.height, each.height);
        EXPECT_EQ(bitmap.at(0, 0), defaultColor(0));
        EXPECT_EQ(bitmap.at(0, 11 % each.height), defaultColor(0));
    }
    delegate.bitmaps.clear();
    const Bitmap mixed = decode("~#1;2;100;0;0#1~");
    ASSERT_EQ(mixed.width, 2);
    EXPECT_EQ(mixed.at(0, 5), defaultColor(0));
    EXPECT_EQ(mixed.at(1, 5), red);
}

TEST_F(SixelFixture, DataWithoutSixelsHandsOverAnEmptyRaster)
{
    for (std::string_view data : {"", "\"1;1;10;10", "#0;2;100;0;0$-"}) {
        delegate.bitmaps.clear();
        const Bitmap empty = decode(data);
        EXPECT_EQ(empty.width, 0) << data;
        EXPECT_EQ(empty.height, 0) << data;
        EXPECT_TRUE(empty.bytes.empty()) << data;
    }
}

TEST_F(SixelFixture, ColourListsSkipOneSeparatorAndEndAtTheSecond)
{
    // "#1;;2" selects register 1 and defines nothing; the "2" that follows is skipped.
    const Bitmap bitmap = decode("#1;2;0;0;100#1;;2~");
    EXPECT_EQ(bitmap.at(0, 0), blue);
}

TEST(SixelHls, ConvertsHueLightnessAndSaturation)
{
    EXPECT_EQ(SixelDcsHandler::sixelHlsToRgb(0, 50, 100), 0x0000FFu);
    EXPECT_EQ(SixelDcsHandler::sixelHlsToRgb(120, 50, 100), 0xFF0000u);
    EXPECT_EQ(SixelDcsHandler::sixelHlsToRgb(240, 50, 100), 0x00FF00u);
    EXPECT_EQ(SixelDcsHandler::sixelHlsToRgb(0, 50, 0), 0x7F7F7Fu);
    EXPECT_EQ(SixelDcsHandler::sixelHlsToRgb(360, 100, 100), 0xFFFFFFu);
}

TEST_F(SixelFixture, HostileExtentsRepeatsAndRegistersStayBounded)
{
    // A repeat count far beyond any screen, a colour number that overflows, bands far below.
    std::string hostile = "#99999999999999999999;2;100;0;0#99999999999999999999!99999999999999999999~";
    for (int band = 0; band < 1000; ++band) {
        hostile += "-";
    }
    hostile += "~";
    const Bitmap bitmap = decode(hostile);
    EXPECT_EQ(bitmap.width, SixelDcsHandler::maximumWidth);
    EXPECT_LE(bitmap.width * bitmap.height, SixelDcsHandler::maximumPixels);
    EXPECT_EQ(bitmap.bytes.size(), static_cast<size_t>(bitmap.width * bitmap.height * 4));
    // The huge register is never defined, so it paints transparent.
    EXPECT_EQ(bitmap.at(0, 0), transparent);
}

TEST_F(SixelFixture, PaintingStopsOnceItHasCoveredTheRasterManyTimes)
{
    // Each "$!64~" paints the whole 64 × 6 raster again; far more repeats than any image needs.
    std::string data = "#0;2;100;0;0#0";
    for (int pass = 0; pass < 200'000; ++pass) {
        data += "$!64~";
    }
    data += "$#1;2;0;100;0#1~";
    const Bitmap bitmap = decode(data);
    EXPECT_EQ(bitmap.width, 64);
    // The last colour comes after the painting budget ran out.
    EXPECT_EQ(bitmap.at(0, 0), red);
}

TEST(SixelWithoutDelegate, DropsTheRaster)
{
    Terminal terminal(nullptr, TerminalOptions{});
    terminal.feedString("\x1bPq#0;2;100;0;0#0~~\x1b\\ok");
    EXPECT_EQ(terminal.characterAt(0, 0), "o");
}

} // namespace
} // namespace kestrix
