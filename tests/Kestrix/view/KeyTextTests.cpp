#include "Kestrix/view/KeyText.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(KeyText, MalformedUtf8DecodesToOneReplacementPerBadByte)
{
    // A stray continuation byte, a truncated sequence, an overlong form and an encoded surrogate.
    EXPECT_EQ(decodeUtf8Scalars("a\x80"
                                "b"),
              (std::vector<char32_t>{U'a', 0xFFFD, U'b'}));
    EXPECT_EQ(decodeUtf8Scalars("\xe6\x97"), (std::vector<char32_t>{0xFFFD, 0xFFFD}));
    EXPECT_EQ(decodeUtf8Scalars("\xc0\xaf"), (std::vector<char32_t>{0xFFFD, 0xFFFD}));
    EXPECT_EQ(decodeUtf8Scalars("\xed\xa0\x80"), (std::vector<char32_t>{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(decodeUtf8Scalars("\xf0\x9f\x98\x80\xc3\xa9"), (std::vector<char32_t>{0x1F600, 0xE9}));
}

TEST(KeyText, EncodesScalarsAndReplacesNonScalars)
{
    EXPECT_EQ(encodeUtf8(U'a'), "a");
    EXPECT_EQ(encodeUtf8(0xE9), "\xc3\xa9");
    EXPECT_EQ(encodeUtf8(0x65E5), "\xe6\x97\xa5");
    EXPECT_EQ(encodeUtf8(0x1F600), "\xf0\x9f\x98\x80");
    EXPECT_EQ(encodeUtf8(0xD800), "\xef\xbf\xbd");
    EXPECT_EQ(encodeUtf8(0x110000), "\xef\xbf\xbd");
}

TEST(KeyText, ControlCharactersAreC0DelAndC1)
{
    EXPECT_TRUE(containsControlCharacter("ab\r"));
    EXPECT_TRUE(containsControlCharacter("\x7f"));
    EXPECT_TRUE(containsControlCharacter("\xc2\x85"));
    EXPECT_FALSE(containsControlCharacter("\xc2\xa0 text \xe6\x97\xa5"));
}

} // namespace
} // namespace kestrix
