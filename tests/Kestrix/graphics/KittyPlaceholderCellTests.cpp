#include "Kestrix/core/Terminal.h"
#include "Kestrix/graphics/KittyPlaceholderCell.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrix {
namespace {

using Color_ = Attribute::Color;
using Place = std::pair<int64_t, int64_t>;

Place placeOf(const std::optional<KittyPlaceholderCell> &cell)
{
    return {cell->placeholderRow, cell->placeholderCol};
}

constexpr std::string_view placeholder = "\U0010EEEE";

Attribute withColors(Color_ fg, Attribute::OptionalColor underline = std::nullopt)
{
    Attribute attribute;
    attribute.fg = fg;
    attribute.underlineColor = underline;
    return attribute;
}

// Decodes a row of cells from column 0 the way a renderer walks it.
std::vector<std::optional<KittyPlaceholderCell>>
decodeRow(const std::vector<std::pair<std::string, Attribute>> &cells, int64_t row = 0)
{
    std::vector<std::optional<KittyPlaceholderCell>> results;
    std::optional<KittyPlaceholderCell> previous;
    Attribute previousAttribute;
    for (size_t col = 0; col < cells.size(); ++col) {
        const auto &[text, attribute] = cells[col];
        previous = KittyPlaceholderCell::decode(text, attribute, row, static_cast<int64_t>(col), previous,
                                                previousAttribute.fg, previousAttribute.underlineColor);
        previousAttribute = attribute;
        results.push_back(previous);
    }
    return results;
}

std::string cellText(std::initializer_list<std::string_view> diacritics)
{
    std::string text(placeholder);
    for (std::string_view each : diacritics) {
        text += each;
    }
    return text;
}

TEST(KittyPlaceholderCell, TextThatIsNoPlaceholderDecodesToNothing)
{
    EXPECT_EQ(KittyPlaceholderCell::decode("A", {}, 0, 0, std::nullopt, {}, {}), std::nullopt);
    EXPECT_EQ(KittyPlaceholderCell::decode("", {}, 0, 0, std::nullopt, {}, {}), std::nullopt);
    EXPECT_EQ(KittyPlaceholderCell::decode("\u0305\U0010EEEE", {}, 0, 0, std::nullopt, {}, {}), std::nullopt);
}

TEST(KittyPlaceholderCell, DiacriticsGiveRowColumnAndHighByte)
{
    struct Case {
        std::string text;
        Attribute attribute;
        KittyPlaceholderCell expected;
    };
    const Case cases[] = {
        {cellText({}), {}, {3, 4, 0, 0, 0, 0, 0}},
        {cellText({"\u0305", "\u030D"}), withColors(Color_::ansi256(5)), {3, 4, 5, 0, 0, 1, 0}},
        {cellText({"\u0305", "\u030D", "\u0312"}),
         withColors(Color_::trueColor(1, 2, 3)),
         {3, 4, 0x04010203, 0, 0, 1, 4}},
        // A high byte beyond 255 is capped in the id and reported as it came.
        {cellText({"\u0305", "\u0305", "\U0001D244"}),
         withColors(Color_::ansi256(1)),
         {3, 4, 0xFF000001, 0, 0, 0, 296}},
        // The placement id comes from the underline colour; scalars outside the table are passed over.
        {cellText({"\u0301", "\u030D", "\u0310"}),
         withColors(Color_::ansi256(7), Color_::trueColor(0, 1, 2)),
         {3, 4, 7, 0x000102, 1, 3, 0}},
        {cellText({"\u030D"}), withColors(Color_::defaultColor(), Color_::ansi256(9)), {3, 4, 0, 9, 1, 0, 0}},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.text.size());
        EXPECT_EQ(KittyPlaceholderCell::decode(each.text, each.attribute, 3, 4, std::nullopt, {}, {}),
                  each.expected);
    }
}

TEST(KittyPlaceholderCell, NeighboursWithoutDiacriticsContinueTheRow)
{
    const Attribute blue = withColors(Color_::ansi256(4));
    const auto row = decodeRow({{cellText({"\u030D", "\u0310"}), blue},
                                {cellText({}), blue},
                                {cellText({"\u030D"}), blue},
                                {cellText({"\u030D", "\u0310"}), blue}});
    ASSERT_TRUE(row[0] && row[1] && row[2] && row[3]);
    EXPECT_EQ(placeOf(row[0]), Place(1, 3));
    EXPECT_EQ(placeOf(row[1]), Place(1, 4));
    EXPECT_EQ(placeOf(row[2]), Place(1, 5));
    // Two diacritics name the column outright.
    EXPECT_EQ(row[3]->placeholderCol, 3);
}

TEST(KittyPlaceholderCell, AChangeOfColourOrAGapBreaksTheRun)
{
    const auto recoloured = decodeRow({{cellText({"\u030D", "\u0310"}), withColors(Color_::ansi256(4))},
                                       {cellText({}), withColors(Color_::ansi256(5))}});
    EXPECT_EQ(placeOf(recoloured[1]), Place(0, 0));

    const auto underlined = decodeRow({{cellText({"\u030D", "\u0310"}), withColors(Color_::ansi256(4))},
                                       {cellText({}), withColors(Color_::ansi256(4), Color_::ansi256(1))}});
    EXPECT_EQ(underlined[1]->placeholderCol, 0);

    const Attribute blue = withColors(Color_::ansi256(4));
    const auto first =
        KittyPlaceholderCell::decode(cellText({"\u030D", "\u0310"}), blue, 0, 0, std::nullopt, {}, {});
    EXPECT_EQ(KittyPlaceholderCell::decode(cellText({}), blue, 1, 1, first, blue.fg, {})->placeholderCol, 0);
    EXPECT_EQ(KittyPlaceholderCell::decode(cellText({}), blue, 0, 2, first, blue.fg, {})->placeholderCol, 0);
}

TEST(KittyPlaceholderCell, TheTerminalKeepsAPlaceholderAndItsDiacriticsInOneCell)
{
    Terminal terminal(nullptr, TerminalOptions{});
    terminal.feedString("\x1b[38;5;42m" + cellText({"\u0305", "\u030D"}) + cellText({}) + "x");
    const auto cell = terminal.cellAt(0, 0);
    ASSERT_TRUE(cell);
    const auto decoded = KittyPlaceholderCell::decode(terminal.stringForCellCode(cell->code), cell->attribute,
                                                      0, 0, std::nullopt, {}, {});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->imageId, 42u);
    EXPECT_EQ(decoded->placeholderCol, 1);
    EXPECT_EQ(terminal.characterAt(2, 0), "x");
}

} // namespace
} // namespace kestrix
