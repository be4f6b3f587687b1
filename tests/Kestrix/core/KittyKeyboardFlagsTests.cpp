#include "Kestrix/core/KittyKeyboardFlags.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(KittyKeyboardFlags, BitsCombineAsAnOptionSet)
{
    EXPECT_EQ(KittyKeyboardFlags::disambiguateEscapeCodes.rawValue, 1);
    EXPECT_EQ(KittyKeyboardFlags::reportEventTypes.rawValue, 2);
    EXPECT_EQ(KittyKeyboardFlags::reportAlternateKeys.rawValue, 4);
    EXPECT_EQ(KittyKeyboardFlags::reportAllKeysAsEscapeCodes.rawValue, 8);
    EXPECT_EQ(KittyKeyboardFlags::reportAssociatedText.rawValue, 16);
    EXPECT_EQ(KittyKeyboardFlags::all.rawValue, 31);

    KittyKeyboardFlags flags;
    EXPECT_TRUE(flags.isEmpty());
    flags.insert(KittyKeyboardFlags::disambiguateEscapeCodes | KittyKeyboardFlags::reportAlternateKeys);
    EXPECT_EQ(flags.rawValue, 5);
    EXPECT_TRUE(flags.contains(KittyKeyboardFlags::reportAlternateKeys));
    EXPECT_FALSE(flags.contains(KittyKeyboardFlags::reportEventTypes));
    flags.remove(KittyKeyboardFlags::disambiguateEscapeCodes);
    EXPECT_EQ(flags, KittyKeyboardFlags::reportAlternateKeys);
    EXPECT_EQ((KittyKeyboardFlags{255} & KittyKeyboardFlags::all).rawValue, 31);
}

} // namespace
} // namespace kestrix
