#include "Kestrix/core/UnicodeUtil.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(UnicodeUtil, ColumnWidthFollowsCategoriesJamoFlagsAndTheWideTable)
{
    const std::pair<uint32_t, int> cases[] = {
        {'A', 1},        {0x1B, -1},   {0x85, -1},   {0x00, 0},    {0x7F, -1},   {0x9F, -1},    {0xA0, 1},
        {0x0301, 0},     {0x200B, 0},  {0x00AD, 1},  {0x200D, 0},  {0x2028, 0},  {0x2029, 0},   {0x20DD, 0},
        {0x0903, 0},     {0x4E00, 2},  {0xAC00, 2},  {0x1160, 0},  {0x11FF, 0},  {0x115F, 2},   {0xD7A3, 2},
        {0xD7B0, 0},     {0xD7FF, 0},  {0x1F600, 2}, {0x1F1E6, 2}, {0x1F1FA, 2}, {0x1F1FF, 2},  {0x1F3FB, 0},
        {0x1F3FF, 0},    {0xFF3E, 2},  {0xFF40, 2},  {0xFFE3, 2},  {0x005E, 1},  {0x02C6, 1},   {0x3FFFD, 2},
        {0x3FFFE, 1},    {0x20000, 2}, {0xFF01, 2},  {0x2764, 1},  {0x231A, 2},  {0x10FFFF, 1}, {0x110000, 1},
        {0xFFFFFFFF, 1}, {0xD800, 1},
    };
    for (const auto &[value, width] : cases) {
        EXPECT_EQ(UnicodeUtil::columnWidth(value), width) << std::hex << value;
    }
}

TEST(UnicodeUtil, WideTableIsTheSortedListOfWideRanges)
{
    const auto table = UnicodeUtil::wideTable();
    ASSERT_EQ(table.size(), 123u);
    EXPECT_EQ(table.front().lo, 0x1100u);
    EXPECT_EQ(table.front().hi, 0x115Fu);
    EXPECT_EQ(table.back().lo, 0x30000u);
    EXPECT_EQ(table.back().hi, 0x3FFFDu);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_LE(table[i].lo, table[i].hi);
        if (i > 0) {
            EXPECT_LT(table[i - 1].hi, table[i].lo);
        }
    }
}

TEST(UnicodeUtil, IsWideFindsEveryRangeBoundaryAndNothingBetween)
{
    const auto table = UnicodeUtil::wideTable();
    for (const auto &range : table) {
        EXPECT_TRUE(UnicodeUtil::isWide(range.lo)) << std::hex << range.lo;
        EXPECT_TRUE(UnicodeUtil::isWide(range.hi)) << std::hex << range.hi;
        EXPECT_TRUE(UnicodeUtil::isWide(range.lo + (range.hi - range.lo) / 2));
    }
    for (size_t i = 1; i < table.size(); ++i) {
        if (table[i - 1].hi + 1 < table[i].lo) {
            EXPECT_FALSE(UnicodeUtil::isWide(table[i - 1].hi + 1)) << std::hex << table[i - 1].hi + 1;
            EXPECT_FALSE(UnicodeUtil::isWide(table[i].lo - 1)) << std::hex << table[i].lo - 1;
        }
    }
    EXPECT_FALSE(UnicodeUtil::isWide(0x10FF));
    EXPECT_FALSE(UnicodeUtil::isWide(0x3FFFE));
    EXPECT_FALSE(UnicodeUtil::isWide(0));
    EXPECT_FALSE(UnicodeUtil::isWide(0xFFFFFFFF));
}

TEST(UnicodeUtil, ForceEmojiPresentationAddsTheSelectorOnlyToTextStyleEmoji)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\u2764", "\u2764\uFE0F"},
        {"\u263A", "\u263A\uFE0F"},
        {"\U0001F600", "\U0001F600"},
        {"ab", "ab"},
        {"\u00A9", "\u00A9"},
        {"#", "#"},
        {"\u4E00", "\u4E00"},
        {"\u2764\uFE0F", "\u2764\uFE0F"},
        {"", ""},
        {"\xE2\x9D", "\xE2\x9D"},
        {"\xE2\x9D\xA4\xFF", "\xE2\x9D\xA4\xFF"},
    };
    for (const auto &[text, expected] : cases) {
        EXPECT_EQ(UnicodeUtil::forceEmojiPresentation(text), expected) << text;
    }
}

} // namespace
} // namespace kestrix
