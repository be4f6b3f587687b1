#include "Kestrix/rendering/TextAttributes.h"
#include "Kestrix/rendering/UnderlineGeometry.h"
#include "Kestrix/view/ColorConversions.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using Color_ = Attribute::Color;

Attribute styled(CharacterStyle style, Color_ fg = Color_::defaultColor(), Color_ bg = Color_::defaultColor())
{
    Attribute attribute;
    attribute.fg = fg;
    attribute.bg = bg;
    attribute.style = style;
    return attribute;
}

TEST(CellAttributes, PlainCellHasTheNormalFaceAndTheDefaultColoursOnly)
{
    ViewFixture f;
    const auto plain = f.view->cellAttributes(Attribute(), false);
    TextAttributes expected;
    expected.font = f.view->fontSet().normal;
    expected.foreground = f.view->nativeForegroundColor();
    expected.background = f.view->nativeBackgroundColor();
    EXPECT_EQ(*plain, expected);
}

TEST(CellAttributes, InverseOfDefaultColoursGivesTheInvertedDefaultsOnBothSides)
{
    ViewFixture f;
    const auto inverse = f.view->cellAttributes(styled(CharacterStyle::inverse), false);
    const Color_ inverted = Color_::defaultInvertedColor();
    EXPECT_EQ(inverse->foreground, f.view->nsColor(inverted, true, false, true));
    EXPECT_EQ(inverse->background, f.view->nsColor(inverted, false, false, true));
    EXPECT_NE(inverse->foreground, f.view->nativeForegroundColor());
}

TEST(CellAttributes, BrightBaseColoursWithoutBrighteningUseTheBoldFaceAndNoOtherColourDoes)
{
    ViewFixture f;
    const QFont &normal = f.view->fontSet().normal;
    const QFont &bold = f.view->fontSet().bold;
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(9)), false)->font, normal);
    f.view->setUseBrightColors(false);
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(9)), false)->font, bold);
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(15)), false)->font, bold);
    EXPECT_EQ(f.view->cellAttributes(styled(CharacterStyle::italic, Color_::ansi256(12)), false)->font,
              f.view->fontSet().boldItalic);
    // The cube and the grey ramp are ordinary colours.
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(16)), false)->font, normal);
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(196)), false)->font, normal);
    EXPECT_EQ(f.view->cellAttributes(styled({}, Color_::ansi256(1)), false)->font, normal);
}

TEST(CellAttributes, UnderlineKindsStoreTheirStyleValueAndExactKind)
{
    ViewFixture f;
    struct Case {
        UnderlineStyle style;
        int64_t value;
        int64_t exact;
    };
    const Case cases[] = {
        {UnderlineStyle::none, 0x1, 1},     {UnderlineStyle::single, 0x1, 1},
        {UnderlineStyle::double_, 0x9, 2},  {UnderlineStyle::curly, 0x1, 3},
        {UnderlineStyle::dotted, 0x101, 4}, {UnderlineStyle::dashed, 0x201, 5},
    };
    for (const Case &c : cases) {
        Attribute attribute = styled(CharacterStyle::underline);
        attribute.underlineStyle = c.style;
        const auto made = f.view->cellAttributes(attribute, false);
        EXPECT_EQ(made->underlineStyleValue, c.value) << static_cast<int>(c.style);
        EXPECT_EQ(made->kestrixUnderlineStyle, c.exact) << static_cast<int>(c.style);
        EXPECT_EQ(made->underlineColor, made->foreground);
    }
}

TEST(CellAttributes, HighlightedLinkIsADashedUnderlineInTheTextColourWhateverTheCellAsked)
{
    ViewFixture f;
    Attribute attribute = styled(CharacterStyle::underline);
    attribute.underlineStyle = UnderlineStyle::double_;
    attribute.underlineColor = Color_::trueColor(255, 0, 0);
    const auto link = f.view->cellAttributes(attribute, true);
    EXPECT_EQ(link->kestrixUnderlineStyle, 5);
    EXPECT_EQ(link->underlineStyleValue, 1);
    EXPECT_EQ(link->underlineColor, link->foreground);
    EXPECT_EQ(underlineStyle(*link), UnderlineStyle::dashed);
    // The plain cache is separate.
    EXPECT_EQ(f.view->cellAttributes(attribute, false)->underlineColor, QColor(255, 0, 0));
}

TEST(CellAttributes, DimInverseTextIsTheMeanOfTheSwappedColours)
{
    ViewFixture f;
    const Attribute attribute = styled(CharacterStyle{CharacterStyle::dim, CharacterStyle::inverse},
                                       Color_::trueColor(200, 100, 0), Color_::trueColor(0, 50, 100));
    const auto made = f.view->cellAttributes(attribute, false);
    EXPECT_EQ(made->background, QColor(200, 100, 0));
    EXPECT_EQ(made->foreground, averaged(QColor(0, 50, 100), QColor(200, 100, 0)));
}

TEST(CellAttributes, EqualAttributesShareOneValueUntilColoursOrBrighteningChange)
{
    ViewFixture f;
    const Attribute attribute = styled(CharacterStyle::bold, Color_::ansi256(2));
    const auto first = f.view->cellAttributes(attribute, false);
    EXPECT_EQ(f.view->cellAttributes(attribute, false).get(), first.get());

    f.view->colorsChanged();
    const auto afterColours = f.view->cellAttributes(attribute, false);
    EXPECT_NE(afterColours.get(), first.get());

    // Bold green is bright green with brightening, plain green without.
    f.terminal().resetDirtyRows();
    f.view->setUseBrightColors(false);
    const auto afterBrightening = f.view->cellAttributes(attribute, false);
    EXPECT_NE(afterBrightening.get(), afterColours.get());
    EXPECT_NE(afterBrightening->foreground, afterColours->foreground);
    EXPECT_TRUE(f.terminal().dirtyRowRange().has_value());
}

TEST(MakeAttributes, SwapsTheGivenColoursForInverseWithoutDimmingOrCaching)
{
    ViewFixture f;
    const Attribute attribute = styled(CharacterStyle{CharacterStyle::inverse, CharacterStyle::dim,
                                                      CharacterStyle::crossedOut, CharacterStyle::bold});
    const TextAttributes made = f.view->makeAttributes(attribute, Qt::red, Qt::blue);
    EXPECT_EQ(made.foreground, QColor(Qt::blue));
    EXPECT_EQ(made.background, QColor(Qt::red));
    EXPECT_EQ(made.strikethroughColor, QColor(Qt::blue));
    EXPECT_EQ(made.strikethroughStyleValue, 1);
    EXPECT_EQ(made.font, f.view->fontSet().bold);
}

TEST(UnderlineStyleOfAttributes, ExactKindWinsElseTheStyleValueDecides)
{
    struct Case {
        std::optional<int64_t> exact;
        std::optional<int64_t> value;
        UnderlineStyle expected;
    };
    const Case cases[] = {
        {3, 1, UnderlineStyle::curly},
        {std::nullopt, 9, UnderlineStyle::double_},
        {std::nullopt, 0x201, UnderlineStyle::dashed},
        {std::nullopt, 0x101, UnderlineStyle::dotted},
        {std::nullopt, 0x401, UnderlineStyle::dashed},
        {7, 1, UnderlineStyle::single},
        {std::nullopt, std::nullopt, UnderlineStyle::none},
        {std::nullopt, 0, UnderlineStyle::none},
    };
    for (const Case &c : cases) {
        TextAttributes attributes;
        attributes.kestrixUnderlineStyle = c.exact;
        attributes.underlineStyleValue = c.value;
        EXPECT_EQ(underlineStyle(attributes), c.expected) << c.value.value_or(-1);
    }
}

} // namespace
} // namespace kestrix
