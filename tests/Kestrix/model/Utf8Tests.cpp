#include "Kestrix/model/Utf8.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace kestrix {
namespace {

using Kind = utf8::Decoded::Kind;

struct SequenceCase {
    const char *name;
    std::string_view bytes;
    Kind kind;
    uint32_t scalar;
    size_t length;
};

// The edges of each form (the first and last value it may hold, and the values just outside) and
// the ways a sequence breaks off.
const SequenceCase sequenceCases[] = {
    {"smallest two-byte", "\xc2\x80", Kind::scalar, 0x80, 2},
    {"largest two-byte", "\xdf\xbf", Kind::scalar, 0x7FF, 2},
    {"smallest three-byte", "\xe0\xa0\x80", Kind::scalar, 0x800, 3},
    {"overlong three-byte", "\xe0\x9f\xbf", Kind::invalid, 0, 3},
    {"last before the surrogates", "\xed\x9f\xbf", Kind::scalar, 0xD7FF, 3},
    {"first surrogate", "\xed\xa0\x80", Kind::invalid, 0, 3},
    {"last surrogate", "\xed\xbf\xbf", Kind::invalid, 0, 3},
    {"first after the surrogates", "\xee\x80\x80", Kind::scalar, 0xE000, 3},
    {"largest three-byte", "\xef\xbf\xbf", Kind::scalar, 0xFFFF, 3},
    {"smallest four-byte", "\xf0\x90\x80\x80", Kind::scalar, 0x10000, 4},
    {"overlong four-byte", "\xf0\x8f\xbf\xbf", Kind::invalid, 0, 4},
    {"largest scalar", "\xf4\x8f\xbf\xbf", Kind::scalar, 0x10FFFF, 4},
    {"above the largest scalar", "\xf4\x90\x80\x80", Kind::invalid, 0, 4},
    {"truncated two-byte", "\xc3", Kind::incomplete, 0, 1},
    {"truncated four-byte", "\xf0\x9f\x98", Kind::incomplete, 0, 3},
    // The byte that breaks a sequence off starts the next one.
    {"continuation replaced by ASCII", "\xe6\x41\xa5", Kind::invalid, 0, 1},
    {"continuation replaced by a lead", "\xe6\x97\xc3\xa9", Kind::invalid, 0, 2},
};

TEST(Utf8, DecodeChecksEveryFormWithinTheBytesAtHand)
{
    for (const SequenceCase &each : sequenceCases) {
        // Continuation bytes beyond the bytes at hand must not complete a sequence.
        const std::string padded = std::string(each.bytes) + "\x80\x80\x80";
        const auto *bytes = reinterpret_cast<const uint8_t *>(padded.data());
        const utf8::Decoded decoded = utf8::decode(bytes, each.bytes.size());
        EXPECT_EQ(decoded.kind, each.kind) << each.name;
        EXPECT_EQ(decoded.length, each.length) << each.name;
        if (each.kind == Kind::scalar) {
            EXPECT_EQ(decoded.scalar, each.scalar) << each.name;
        }
        EXPECT_EQ(utf8::isValid(each.bytes), each.kind == Kind::scalar && each.length == each.bytes.size())
            << each.name;
    }
}

TEST(Utf8, ValidTextMayMixFormsAndAnyFaultAnywhereMakesItInvalid)
{
    const std::pair<std::string_view, bool> texts[] = {
        {"", true},
        {std::string_view("a\0b", 3), true},
        {"plain \xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80 end", true},
        {"plain \xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80 end\xc3", false},
        {"\xed\xa0\x80 then text", false},
        {"stray \x80 continuation", false},
        {"never a lead: \xc0\xaf", false},
        {"never a lead: \xc1\xbf", false},
        {"never a lead: \xf5\x80\x80\x80", false},
        {"never a lead: \xff", false},
    };
    for (const auto &[text, valid] : texts) {
        EXPECT_EQ(utf8::isValid(text), valid) << text;
    }
}

TEST(Utf8, AppendNextAndDecodeAgreeOnEveryForm)
{
    for (const uint32_t scalar : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u,
                                  0x10FFFFu}) {
        std::string text;
        utf8::append(text, scalar);
        ASSERT_TRUE(utf8::isValid(text)) << scalar;
        size_t index = 0;
        EXPECT_EQ(utf8::next(text, index), scalar);
        EXPECT_EQ(index, text.size());
        if (scalar >= 0x80) {
            const utf8::Decoded decoded = utf8::decode(reinterpret_cast<const uint8_t *>(text.data()), text.size());
            EXPECT_EQ(decoded.scalar, scalar);
            EXPECT_EQ(decoded.length, text.size());
        }
    }
}

TEST(Utf8, ScalarValuesStopAtTheSurrogatesAndU10FFFF)
{
    for (const auto &[value, scalar] : std::initializer_list<std::pair<uint32_t, bool>>{
             {0, true}, {0xD7FF, true}, {0xD800, false}, {0xDFFF, false}, {0xE000, true}, {0x10FFFF, true},
             {0x110000, false}, {0xFFFFFFFF, false}}) {
        EXPECT_EQ(utf8::isScalarValue(value), scalar) << value;
    }
}

} // namespace
} // namespace kestrix
