#include "Kestrix/model/AtomTable.h"
#include "Kestrix/model/CharData.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(CharData, NullCellIsAnEmptySingleWidthCellOfThePlainAttribute)
{
    const CharData &cell = CharData::nullCell;
    EXPECT_EQ(cell.code, 0);
    EXPECT_EQ(cell.width, 1);
    EXPECT_EQ(cell.payload.code, 0);
    EXPECT_EQ(cell.unused, 0);
    EXPECT_TRUE(cell.attribute.isPlainDefault());
    EXPECT_EQ(cell.attribute.bg, Attribute::Color::defaultColor());
}

TEST(CharData, StringFromScalarGivesABlankForCodesThatAreNotScalars)
{
    EXPECT_EQ(CharData::stringFromScalar('a'), "a");
    EXPECT_EQ(CharData::stringFromScalar(0xE9), "\xC3\xA9");
    EXPECT_EQ(CharData::stringFromScalar(0x4E2D), "\xE4\xB8\xAD");
    EXPECT_EQ(CharData::stringFromScalar(0x1F600), "\xF0\x9F\x98\x80");
    EXPECT_EQ(CharData::stringFromScalar(0), std::string(1, '\0'));
    EXPECT_EQ(CharData::stringFromScalar(0xD800), " ");
    EXPECT_EQ(CharData::stringFromScalar(0xDFFF), " ");
    EXPECT_EQ(CharData::stringFromScalar(0x110000), " ");
    EXPECT_EQ(CharData::stringFromScalar(-1), " ");
}

TEST(CharData, DebugDescriptionShowsCodeAndCharacter)
{
    CharData cell;
    cell.setValue('x', 1);
    EXPECT_EQ(cell.debugDescription(), "CharData: 120 x");
    cell.setValue(0x400001, 2);
    EXPECT_EQ(cell.debugDescription(), "CharData: 4194305 ?");
    EXPECT_EQ(cell.width, 2);
}

TEST(TinyAtom, PayloadOfACellComesFromTheSharedTable)
{
    auto atom = TinyAtom::create("id=1;https://example.org/one");
    ASSERT_TRUE(atom);
    EXPECT_NE(atom->code, 0);

    CharData cell;
    EXPECT_EQ(cell.getPayload(), std::nullopt);
    cell.payload = *atom;
    EXPECT_EQ(cell.getPayload(), "id=1;https://example.org/one");

    auto again = TinyAtom::create("id=1;https://example.org/one");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->code, atom->code);

    TinyAtom::release(atom->code);
    EXPECT_EQ(cell.getPayload(), std::nullopt);
    EXPECT_EQ(TinyAtom::lookup(0), std::nullopt);
}

TEST(AtomTable, CodesAreNeverReusedAndRunOutAfter0xFFFE)
{
    AtomTable table;
    EXPECT_EQ(table.create("first"), 1);
    table.release(1);
    EXPECT_EQ(table.lookup(1), std::nullopt);
    EXPECT_EQ(table.create("first"), 2);

    for (int i = 3; i <= 0xFFFE; ++i) {
        ASSERT_EQ(table.create(std::to_string(i)), i);
    }
    EXPECT_EQ(table.lastCode(), 0xFFFE);
    EXPECT_EQ(table.lookup(0xFFFE), std::to_string(0xFFFE));
    EXPECT_EQ(table.create("one too many"), std::nullopt);
    EXPECT_EQ(table.create("still too many"), std::nullopt);
    EXPECT_EQ(table.lastCode(), 0xFFFE);
    // A payload that is still live keeps its code even when the table is full.
    EXPECT_EQ(table.create("first"), 2);
}

TEST(AtomTable, PruningRemovesOnlyTheOldestRunOfUnusedCodes)
{
    AtomTable table;
    table.create("a");
    table.create("b");
    table.create("c");
    EXPECT_TRUE(table.hasUnprunedCodes());

    table.pruneUnused([](uint16_t code) { return code == 2; });
    EXPECT_EQ(table.lookup(1), std::nullopt);
    EXPECT_EQ(table.lookup(2), "b");
    EXPECT_EQ(table.lookup(3), "c");

    table.pruneUnused([](uint16_t) { return false; });
    EXPECT_EQ(table.lookup(2), std::nullopt);
    EXPECT_EQ(table.lookup(3), std::nullopt);
    EXPECT_FALSE(table.hasUnprunedCodes());
    EXPECT_EQ(table.create("a"), 4);
}

} // namespace
} // namespace kestrix
