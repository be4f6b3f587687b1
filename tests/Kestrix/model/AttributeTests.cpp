#include "Kestrix/model/Attribute.h"

#include <gtest/gtest.h>
#include <unordered_set>

namespace kestrix {
namespace {

using Color = Attribute::Color;

Attribute withColors(Color fg, Color bg, CharacterStyle style = CharacterStyle::none)
{
    Attribute attribute;
    attribute.fg = fg;
    attribute.bg = bg;
    attribute.style = style;
    return attribute;
}

TEST(Attribute, SgrParametersFollowTheColourAndStyleTable)
{
    struct Case {
        Attribute attribute;
        const char *expected;
    };
    const Color plain = Color::defaultColor();
    const Case cases[] = {
        {withColors(plain, plain), "0m"},
        {withColors(plain, Color::defaultInvertedColor()), "0m"},
        {withColors(Color::ansi256(1), plain, CharacterStyle::bold), "0;1;31m"},
        {withColors(Color::ansi256(7), plain), "0;37m"},
        {withColors(Color::ansi256(8), plain), "0;90m"},
        {withColors(Color::ansi256(15), plain), "0;97m"},
        {withColors(Color::ansi256(16), plain), "0;38;5;16m"},
        {withColors(Color::trueColor(255, 128, 0), plain), "0;38;2;255;128;0m"},
        {withColors(plain, Color::ansi256(0)), "0;40m"},
        {withColors(plain, Color::ansi256(8)), "0;100m"},
        {withColors(plain, Color::ansi256(200)), "0;48;5;200m"},
        {withColors(plain, Color::trueColor(1, 2, 3)), "0;48;2;1;2;3m"},
        {withColors(Color::ansi256(2), Color::ansi256(12),
                    {CharacterStyle::bold, CharacterStyle::underline, CharacterStyle::blink,
                     CharacterStyle::inverse, CharacterStyle::invisible}),
         "0;1;4;5;7;8;32;104m"},
        {withColors(plain, plain, {CharacterStyle::dim, CharacterStyle::italic, CharacterStyle::crossedOut}),
         "0m"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.attribute.sgrParameters(), c.expected);
    }
}

TEST(Attribute, UnderlineKindAndColourAreNotReportedButTakePartInEquality)
{
    Attribute curly;
    curly.underlineStyle = UnderlineStyle::curly;
    curly.underlineColor = Color::ansi256(3);
    EXPECT_EQ(curly.sgrParameters(), "0m");

    Attribute absentColor;
    Attribute defaultColor;
    defaultColor.underlineColor = Color::defaultColor();
    EXPECT_NE(absentColor, defaultColor);
    EXPECT_NE(std::hash<Attribute>()(absentColor), std::hash<Attribute>()(defaultColor));
    EXPECT_TRUE(absentColor.isPlainDefault());
    EXPECT_FALSE(defaultColor.isPlainDefault());
}

TEST(AttributeColor, EqualityIsCaseAndPayload)
{
    EXPECT_EQ(Color::ansi256(5), Color::ansi256(5));
    EXPECT_NE(Color::ansi256(5), Color::ansi256(6));
    EXPECT_NE(Color::ansi256(0), Color::defaultColor());
    EXPECT_NE(Color::defaultColor(), Color::defaultInvertedColor());
    EXPECT_NE(Color::trueColor(1, 2, 3), Color::trueColor(1, 2, 4));
    EXPECT_EQ(Color(), Color::defaultColor());

    std::unordered_set<Color> colors{Color::ansi256(1), Color::trueColor(1, 0, 0), Color::defaultColor(),
                                     Color::defaultInvertedColor(), Color::ansi256(1)};
    EXPECT_EQ(colors.size(), 4u);
}

TEST(CharacterStyle, SetOperationsWorkOnTheBits)
{
    CharacterStyle style{CharacterStyle::bold, CharacterStyle::italic};
    EXPECT_EQ(style.rawValue(), 65);
    EXPECT_TRUE(style.contains(CharacterStyle::bold));
    EXPECT_FALSE(style.contains(CharacterStyle::dim));
    EXPECT_TRUE(CharacterStyle::bold.isSubset(style));
    EXPECT_TRUE(style.isDisjoint(CharacterStyle::crossedOut));

    style.insert(CharacterStyle::crossedOut);
    style.remove(CharacterStyle::bold);
    EXPECT_EQ(style.rawValue(), 64 + 128);
    style.update(CharacterStyle::dim, true);
    style.update(CharacterStyle::italic, false);
    EXPECT_EQ(style, CharacterStyle(uint8_t{32 + 128}));
    EXPECT_EQ((style ^ CharacterStyle::dim).rawValue(), 128);
    EXPECT_EQ((style & CharacterStyle::dim).rawValue(), 32);
    EXPECT_TRUE(CharacterStyle::none.isEmpty());
}

TEST(UnderlineStyle, RawValuesAboveDashedGiveNothing)
{
    EXPECT_EQ(underlineStyleFromRawValue(0), UnderlineStyle::none);
    EXPECT_EQ(underlineStyleFromRawValue(2), UnderlineStyle::double_);
    EXPECT_EQ(underlineStyleFromRawValue(5), UnderlineStyle::dashed);
    EXPECT_EQ(underlineStyleFromRawValue(6), std::nullopt);
    EXPECT_EQ(underlineStyleFromRawValue(255), std::nullopt);
}

} // namespace
} // namespace kestrix
