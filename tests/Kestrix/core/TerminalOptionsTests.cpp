#include "Kestrix/core/TerminalOptions.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(TerminalOptions, DefaultsDescribeAnEightyByTwentyFiveXterm)
{
    const TerminalOptions options;
    EXPECT_EQ(options.cols, 80);
    EXPECT_EQ(options.rows, 25);
    EXPECT_FALSE(options.convertEol);
    EXPECT_EQ(options.termName, "xterm-256color");
    EXPECT_EQ(options.cursorStyle, CursorStyle::blinkBlock);
    EXPECT_FALSE(options.screenReaderMode);
    EXPECT_EQ(options.scrollback, 500);
    EXPECT_EQ(options.tabStopWidth, 8);
    EXPECT_TRUE(options.enableSixelReported);
    EXPECT_EQ(options.kittyImageCacheLimitBytes, 335544320);
    EXPECT_EQ(options.ansi256PaletteStrategy, Ansi256PaletteStrategy::base16Lab);
    EXPECT_EQ(options.regionalIndicatorWidth, RegionalIndicatorWidth::wide);
    EXPECT_FALSE(options.allowsKittyLocalMedia);
}

TEST(TerminalOptions, MemberwiseConstructionTakesTheFieldsInDeclarationOrder)
{
    const TerminalOptions options{
        120,  40, true,  "vt100", CursorStyle::steadyBar,        true,
        1000, 4,  false, 1024,    Ansi256PaletteStrategy::xterm, RegionalIndicatorWidth::narrow,
        true};
    EXPECT_EQ(options.cols, 120);
    EXPECT_EQ(options.rows, 40);
    EXPECT_TRUE(options.convertEol);
    EXPECT_EQ(options.termName, "vt100");
    EXPECT_EQ(options.cursorStyle, CursorStyle::steadyBar);
    EXPECT_TRUE(options.screenReaderMode);
    EXPECT_EQ(options.scrollback, 1000);
    EXPECT_EQ(options.tabStopWidth, 4);
    EXPECT_FALSE(options.enableSixelReported);
    EXPECT_EQ(options.kittyImageCacheLimitBytes, 1024);
    EXPECT_EQ(options.ansi256PaletteStrategy, Ansi256PaletteStrategy::xterm);
    EXPECT_EQ(options.regionalIndicatorWidth, RegionalIndicatorWidth::narrow);
    EXPECT_TRUE(options.allowsKittyLocalMedia);
    EXPECT_NE(options, TerminalOptions{});
}

TEST(CursorStyle, RawValuesAreTheCaseNamesExactly)
{
    const std::pair<CursorStyle, std::string_view> styles[] = {
        {CursorStyle::blinkBlock, "blinkBlock"},
        {CursorStyle::steadyBlock, "steadyBlock"},
        {CursorStyle::blinkUnderline, "blinkUnderline"},
        {CursorStyle::steadyUnderline, "steadyUnderline"},
        {CursorStyle::blinkBar, "blinkBar"},
        {CursorStyle::steadyBar, "steadyBar"},
    };
    for (const auto &[style, name] : styles) {
        EXPECT_EQ(rawValue(style), name);
        EXPECT_EQ(cursorStyleFromRawValue(name), style);
    }
    EXPECT_EQ(cursorStyleFromRawValue("SteadyBar"), std::nullopt);
    EXPECT_EQ(cursorStyleFromRawValue(""), std::nullopt);
    EXPECT_EQ(cursorStyleFromRawValue("steadyBar "), std::nullopt);
}

} // namespace
} // namespace kestrix
