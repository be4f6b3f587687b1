#include "Kestrix/rendering/BoxDrawingTable.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unicode/uchar.h>
#include <vector>

namespace kestrix {
namespace {

// Reads the arm weights out of a Unicode character name such as "BOX DRAWINGS DOWN SINGLE AND
// RIGHT DOUBLE" or "BOX DRAWINGS LIGHT LEFT AND HEAVY RIGHT". A group of directions without a
// weight of its own takes the weight of the group before it.
BoxArms armsFromName(const std::string &name)
{
    std::istringstream words(name.substr(std::string("BOX DRAWINGS ").size()));
    BoxArms arms;
    std::vector<BoxArmWeight *> group;
    std::optional<BoxArmWeight> groupWeight;
    BoxArmWeight lastWeight = BoxArmWeight::none;
    const auto closeGroup = [&] {
        const BoxArmWeight weight = groupWeight.value_or(lastWeight);
        for (BoxArmWeight *arm : group) {
            *arm = weight;
        }
        lastWeight = weight;
        group.clear();
        groupWeight.reset();
    };
    std::string word;
    while (words >> word) {
        if (word == "AND") {
            closeGroup();
        } else if (word == "LIGHT" || word == "SINGLE") {
            groupWeight = BoxArmWeight::light;
        } else if (word == "HEAVY") {
            groupWeight = BoxArmWeight::heavy;
        } else if (word == "DOUBLE") {
            groupWeight = BoxArmWeight::doubled;
        } else if (word == "UP") {
            group.push_back(&arms.up);
        } else if (word == "DOWN") {
            group.push_back(&arms.down);
        } else if (word == "LEFT") {
            group.push_back(&arms.left);
        } else if (word == "RIGHT") {
            group.push_back(&arms.right);
        } else if (word == "VERTICAL") {
            group.insert(group.end(), {&arms.up, &arms.down});
        } else if (word == "HORIZONTAL") {
            group.insert(group.end(), {&arms.left, &arms.right});
        } else {
            ADD_FAILURE() << "unexpected word in " << name;
        }
    }
    closeGroup();
    return arms;
}

std::string characterName(uint32_t codePoint)
{
    char buffer[128] = {};
    UErrorCode status = U_ZERO_ERROR;
    u_charName(static_cast<UChar32>(codePoint), U_UNICODE_CHAR_NAME, buffer, sizeof buffer, &status);
    EXPECT_TRUE(U_SUCCESS(status));
    return buffer;
}

TEST(BoxDrawingTable, EveryEntryAgreesWithTheCharacterName)
{
    for (uint32_t codePoint = 0x2500; codePoint <= 0x257F; ++codePoint) {
        const std::string name = characterName(codePoint);
        SCOPED_TRACE(name);
        const std::optional<BoxDrawingEntry> entry = boxDrawingEntry(codePoint);
        ASSERT_TRUE(entry);
        if (name.find("DASH") != std::string::npos) {
            EXPECT_EQ(entry->kind, BoxDrawingKind::dashes);
        } else if (name.find(" ARC ") != std::string::npos) {
            EXPECT_EQ(entry->kind, BoxDrawingKind::corner);
        } else if (name.find("DIAGONAL") != std::string::npos) {
            EXPECT_EQ(entry->kind, BoxDrawingKind::diagonal);
        } else {
            ASSERT_EQ(entry->kind, BoxDrawingKind::arms);
            const BoxArms fromTable = BoxArms::fromDescriptor(entry->arms);
            const BoxArms fromName = armsFromName(name);
            EXPECT_EQ(fromTable.up, fromName.up);
            EXPECT_EQ(fromTable.right, fromName.right);
            EXPECT_EQ(fromTable.down, fromName.down);
            EXPECT_EQ(fromTable.left, fromName.left);
        }
    }
}

TEST(BoxDrawingTable, ArmDescriptorHoldsOneWeightPerByteUpRightDownLeft)
{
    EXPECT_EQ(boxDrawingEntry(0x250C)->arms, 0x00010100u); // light down and right
    EXPECT_EQ(boxDrawingEntry(0x256C)->arms, 0x03030303u); // double vertical and horizontal
    EXPECT_EQ(boxDrawingEntry(0x257E)->arms, 0x02000100u); // heavy left and light right
}

TEST(BoxDrawingTable, DashedLinesCornersAndDiagonalsAreDescribed)
{
    const BoxDashes quadruple = *boxDashes(0x250A);
    EXPECT_EQ(quadruple.count, 4);
    EXPECT_EQ(quadruple.direction, BoxDashDirection::vertical);
    EXPECT_EQ(quadruple.weight, BoxStrokeWeight::light);
    EXPECT_EQ(boxDashes(0x254E)->gapCap, BoxDashGapCap::heavy);
    EXPECT_FALSE(boxDashes(0x2500));

    EXPECT_EQ(boxCorner(0x256F)->vertical, BoxCornerVerticalArm::up);
    EXPECT_EQ(boxCorner(0x256F)->horizontal, BoxCornerHorizontalArm::left);
    EXPECT_TRUE(boxDiagonals(0x2573)->rising && boxDiagonals(0x2573)->falling);
}

TEST(BoxDrawingTable, CodePointsOutsideTheBlockHaveNoEntry)
{
    EXPECT_FALSE(boxDrawingEntry(0x24FF));
    EXPECT_FALSE(boxDrawingEntry(0x2580));
    EXPECT_FALSE(boxDrawingEntry(0xFFFFFFFF));
}

} // namespace
} // namespace kestrix
