#include "Kestrix/model/CharSets.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

const CharSetMap &mapOf(char designator)
{
    const CharSetMap *map = CharSets::mapLookup(static_cast<uint8_t>(designator));
    if (map == nullptr) {
        throw std::logic_error(std::string("no character set ") + designator);
    }
    return *map;
}

TEST(CharSets, TableHasTheSeventeenDesignatorsInBuildOrder)
{
    std::string designators;
    for (const auto &[designator, map] : CharSets::all()) {
        designators += static_cast<char>(designator);
    }
    EXPECT_EQ(designators, "02AB45CRQKY6EZ7H=");
}

TEST(CharSets, BytesThatAreNotDesignatorsFindNoSet)
{
    for (char designator : {'1', '<', '%', '>', 'a', '\0'}) {
        EXPECT_EQ(CharSets::mapLookup(static_cast<uint8_t>(designator)), nullptr) << designator;
    }
    EXPECT_EQ(CharSets::mapLookup(0xB0), nullptr);
}

TEST(CharSets, DecSpecialGraphicsDrawsLinesForLowerCaseLetters)
{
    const CharSetMap &graphics = mapOf('0');
    EXPECT_EQ(graphics.count(), 31u);
    EXPECT_EQ(graphics.lookup('_'), std::nullopt);
    EXPECT_EQ(graphics.lookup('`'), U'\u25C6');
    EXPECT_EQ(graphics.lookup('j'), U'\u2518');
    EXPECT_EQ(graphics.lookup('q'), U'\u2500');
    EXPECT_EQ(graphics.lookup('x'), U'\u2502');
    EXPECT_EQ(graphics.lookup('~'), U'\u00B7');
    EXPECT_EQ(graphics.lookup('A'), std::nullopt);
    EXPECT_EQ(graphics.lookup(0x7F), std::nullopt);
    EXPECT_EQ(graphics.lookup(0xE2), std::nullopt);
}

TEST(CharSets, AliasesShareTheMapOfTheirFirstDesignator)
{
    EXPECT_EQ(mapOf('2'), mapOf('0'));
    EXPECT_EQ(mapOf('C'), mapOf('5'));
    EXPECT_EQ(mapOf('E'), mapOf('6'));
    EXPECT_EQ(mapOf('H'), mapOf('7'));
    EXPECT_NE(mapOf('5'), mapOf('7'));
}

TEST(CharSets, NationalSetsReplaceTheirBytes)
{
    struct Case {
        char designator;
        size_t count;
        uint8_t byte;
        char32_t shown;
    };
    const Case cases[] = {
        {'A', 1, '#', U'£'},  {'4', 9, '|', U'f'},  {'4', 9, '[', U'\u0133'}, {'5', 9, '~', U'ü'},
        {'R', 9, '@', U'à'},  {'Q', 10, '^', U'î'}, {'K', 8, '~', U'ß'},      {'Y', 10, '`', U'ù'},
        {'6', 10, '[', U'Æ'}, {'Z', 8, ']', U'¿'},  {'7', 10, '@', U'É'},     {'=', 12, '_', U'è'},
    };
    for (const auto &testCase : cases) {
        const CharSetMap &map = mapOf(testCase.designator);
        EXPECT_EQ(map.count(), testCase.count) << testCase.designator;
        EXPECT_EQ(map.lookup(testCase.byte), testCase.shown) << testCase.designator;
        EXPECT_EQ(map.lookup('a'), std::nullopt) << testCase.designator;
    }
}

TEST(CharSets, UnitedStatesIsEmptySoEveryBytePrintsAsItself)
{
    const CharSetMap &ascii = mapOf('B');
    EXPECT_EQ(ascii.count(), 0u);
    EXPECT_EQ(ascii, CharSetMap{});
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(ascii.lookup(static_cast<uint8_t>(byte)), std::nullopt);
    }
}

} // namespace
} // namespace kestrix
