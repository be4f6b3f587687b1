#include "Kestrix/core/ClusterLookahead.h"

#include <gtest/gtest.h>

#include <string>

using namespace kestrix;

namespace {

std::string utf8Of(uint32_t scalar)
{
    std::string text;
    if (scalar < 0x800) {
        text += static_cast<char>(0xC0 | scalar >> 6);
    } else if (scalar < 0x10000) {
        text += static_cast<char>(0xE0 | scalar >> 12);
        text += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | scalar >> 18);
        text += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    }
    text += static_cast<char>(0x80 | (scalar & 0x3F));
    return text;
}

} // namespace

// Marks of two bytes are told by a table of their forms and longer ones by decoding: every scalar
// of two and three bytes and a spread of four-byte ones after a letter, with bytes after it and at
// the very end, is taken exactly when it is a plain mark.
TEST(PlainMarks, EndWhereDecodingEachScalarWouldTellThem)
{
    for (uint32_t scalar = 0x80; scalar <= 0x10FFFF; scalar += scalar < 0x10000 ? 1 : 61) {
        if (scalar >= 0xD800 && scalar <= 0xDFFF) {
            continue;
        }
        const std::string form = utf8Of(scalar);
        const size_t expected = 1 + (isPlainMark(ScalarProperties::of(scalar), scalar) ? form.size() : 0);
        for (const std::string &after : {std::string(), std::string("bcdefghij")}) {
            const std::string text = "a" + form + after;
            const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(text.data()), text.size());
            ASSERT_EQ(plainMarksEnd(bytes, 1, 31), expected) << std::hex << "U+" << scalar << " followed by "
                                                            << after.size() << " bytes";
        }
    }
}
