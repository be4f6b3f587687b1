#include "Kestrix/model/Base64.h"

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

std::span<const uint8_t> bytesOf(const std::string &text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

std::optional<std::string> decodedText(const std::string &text)
{
    const std::optional<std::vector<uint8_t>> bytes = Base64::decode(bytesOf(text));
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

TEST(Base64, EncodesWithPadding)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},        {"f", "Zg=="},        {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {std::string("\xff\xfe\x00", 3), "//4A"},
    };
    for (const auto &[plain, encoded] : cases) {
        EXPECT_EQ(Base64::encode(bytesOf(plain)), encoded);
        EXPECT_EQ(decodedText(encoded), plain) << encoded;
    }
}

TEST(Base64, DecodingRejectsAnythingButTheStrictForm)
{
    for (const char *invalid : {"Zg", "Zg=", "Zm9", "Z===", "====", "Zg==Zg==", "Zm 9v", "Zm9v\n", "Zm-v",
                                "Zm_v", "Zm9\xc3\xa9", "Z=9v"}) {
        EXPECT_EQ(Base64::decode(bytesOf(invalid)), std::nullopt) << invalid;
    }
}

TEST(Base64, LenientDecodingSkipsBytesOutsideTheAlphabet)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Zm9v\nYmFy", "foobar"}, {"Zm 9v\r\nYg= =", "foob"}, {"Z\xc3\xa9m8=", "fo"},
        {"Zm9", std::nullopt},    {"Zg==Zg==", std::nullopt}, {"Z===", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        const std::optional<std::vector<uint8_t>> bytes = Base64::decodeIgnoringUnknown(bytesOf(text));
        const std::optional<std::string> decoded =
            bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end())) : std::nullopt;
        EXPECT_EQ(decoded, expected) << text;
    }
}

TEST(Base64, PiecesDecodeOneAfterAnotherEachMayEndInPadding)
{
    const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
        {{"Zm8=", "Zm8="}, "fofo"},
        {{"Zm", "9v", "Yg=="}, "foob"},
        {{"Zg=", "=", "Zg=="}, "ff"},
        {{"Zm9v\n", "Y", "mFy"}, "foobar"},
        {{"Zg==Zg=="}, std::nullopt},
        {{"Zm9", ""}, std::nullopt},
        {{"Z", "==="}, std::nullopt},
        {{"====", "Zg=="}, std::nullopt},
    };
    for (const auto &[pieces, expected] : cases) {
        Base64Decoder decoder;
        std::vector<uint8_t> bytes;
        bool isWellFormed = true;
        for (const std::string &piece : pieces) {
            isWellFormed = decoder.append(bytesOf(piece), bytes) && isWellFormed;
        }
        isWellFormed = isWellFormed && decoder.finish();
        const std::optional<std::string> decoded =
            isWellFormed ? std::optional<std::string>(std::string(bytes.begin(), bytes.end())) : std::nullopt;
        EXPECT_EQ(decoded, expected) << pieces.front();
    }
}

} // namespace
} // namespace kestrix
