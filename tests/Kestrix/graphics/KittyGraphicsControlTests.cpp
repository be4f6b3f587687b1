#include "Kestrix/graphics/KittyGraphicsControl.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace kestrix {
namespace {

std::pair<KittyGraphicsControl, std::string> parse(std::string_view text)
{
    const auto [control, payload] =
        parseKittyGraphicsControl({reinterpret_cast<const uint8_t *>(text.data()), text.size()});
    return {control, std::string(payload.begin(), payload.end())};
}

TEST(KittyGraphicsControl, EmptyInputGivesTheDefaults)
{
    const auto [control, payload] = parse("");
    EXPECT_EQ(control, KittyGraphicsControl{});
    EXPECT_EQ(control.action, 't');
    EXPECT_EQ(control.format, 32);
    EXPECT_EQ(control.transmission, 'd');
    EXPECT_EQ(payload, "");
}

TEST(KittyGraphicsControl, PayloadIsEverythingAfterTheFirstSemicolon)
{
    struct Case {
        std::string_view input;
        std::string payload;
        std::optional<uint32_t> imageId;
    };
    const Case cases[] = {
        {"a=T,f=100,i=7;iVBORw0KGgo=", "iVBORw0KGgo=", 7},
        {"i=5;", "", 5},
        {"i=5", "", 5},
        {"a=t;AB;CD", "AB;CD", std::nullopt},
        {"a;XYZ", "XYZ", std::nullopt},
    };
    for (const Case &each : cases) {
        const auto [control, payload] = parse(each.input);
        EXPECT_EQ(payload, each.payload) << each.input;
        EXPECT_EQ(control.imageId, each.imageId) << each.input;
    }
}

TEST(KittyGraphicsControl, NumbersOutsideTheirFormKeepTheDefault)
{
    struct Case {
        std::string_view input;
        std::optional<uint32_t> imageId;
        int64_t width;
        int64_t zIndex;
    };
    const Case cases[] = {
        {"i=0", std::nullopt, 0, 0},
        {"i=4294967295", 4294967295u, 0, 0},
        {"i=4294967296", std::nullopt, 0, 0},
        {"i=+12", 12, 0, 0},
        {"i=-3", std::nullopt, 0, 0},
        {"i=", std::nullopt, 0, 0},
        {"z=-1", std::nullopt, 0, -1},
        {"s=+10", std::nullopt, 10, 0},
        {"s= 10", std::nullopt, 0, 0},
        {"s=10px", std::nullopt, 0, 0},
        {"s=0x10", std::nullopt, 0, 0},
        {"s=-", std::nullopt, 0, 0},
        {"s=+-4", std::nullopt, 0, 0},
        {"s=9223372036854775807", std::nullopt, INT64_MAX, 0},
        {"s=9223372036854775808", std::nullopt, 0, 0},
        {"z=-9223372036854775808", std::nullopt, 0, INT64_MIN},
    };
    for (const Case &each : cases) {
        const KittyGraphicsControl control = parse(each.input).first;
        EXPECT_EQ(control.imageId, each.imageId) << each.input;
        EXPECT_EQ(control.width, each.width) << each.input;
        EXPECT_EQ(control.zIndex, each.zIndex) << each.input;
    }
}

TEST(KittyGraphicsControl, KeysAreExactAndTheLastPairWins)
{
    const KittyGraphicsControl control = parse("f=100,f=24,I=3,i=4,ab=5,=6,,p=2,").first;
    EXPECT_EQ(control.format, 24);
    EXPECT_EQ(control.imageNumber, 3u);
    EXPECT_EQ(control.imageId, 4u);
    EXPECT_EQ(control.placementId, 2u);
}

TEST(KittyGraphicsControl, CharacterKeysTakeTheFirstCharacter)
{
    EXPECT_EQ(parse("a=query").first.action, 'q');
    EXPECT_EQ(parse("a=").first.action, 't');
    EXPECT_EQ(parse("o=").first.compression, std::nullopt);
    EXPECT_EQ(parse("o=z").first.compression, 'z');
    EXPECT_EQ(parse("d=A").first.deleteMode, 'A');
}

TEST(KittyGraphicsControl, MoreCountsOnlyForTheDirectMedium)
{
    EXPECT_EQ(parse("t=f,m=1").first.more, 0);
    EXPECT_EQ(parse("m=1").first.more, 1);
    EXPECT_EQ(parse("t=d,m=1").first.more, 1);
}

TEST(KittyGraphicsControl, PairsWithBytesOutsideAsciiAreDropped)
{
    const KittyGraphicsControl control = parse("f=24,f=10\xc3\xa9,a=\xff,i=3").first;
    EXPECT_EQ(control.format, 24);
    EXPECT_EQ(control.action, 't');
    EXPECT_EQ(control.imageId, 3u);
}

} // namespace
} // namespace kestrix
