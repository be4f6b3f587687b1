#include "Kestrix/rendering/gpu/TextShaper.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

QFont monoFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(13);
    return font;
}

TEST(TextShaper, ShapesTextIntoGlyphsOnTheBaseline)
{
    ShaperCache cache;
    const std::shared_ptr<const ShaperRun> run = shapeText(cache, QStringLiteral("abc"), monoFont());
    ASSERT_TRUE(run);
    EXPECT_EQ(run->glyphCount, 3);
    ASSERT_EQ(run->glyphRuns.size(), 1u);
    EXPECT_EQ(run->glyphRuns[0].glyphs.size(), 3u);
    EXPECT_EQ(run->positions.size(), 3u);
    EXPECT_DOUBLE_EQ(run->positions[0].x(), 0);
    EXPECT_DOUBLE_EQ(run->positions[0].y(), 0);
    EXPECT_GT(run->positions[1].x(), 0);
    EXPECT_EQ(cache.size(), 1u);
}

TEST(TextShaper, SecondShapingComesFromTheCacheAndEmptyTextGivesNothing)
{
    ShaperCache cache;
    const std::shared_ptr<const ShaperRun> first = shapeText(cache, QStringLiteral("hello"), monoFont());
    const std::shared_ptr<const ShaperRun> second = shapeText(cache, QStringLiteral("hello"), monoFont());
    EXPECT_EQ(first, second);
    QFont larger = monoFont();
    larger.setPixelSize(26);
    EXPECT_NE(shapeText(cache, QStringLiteral("hello"), larger), first);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_FALSE(shapeText(cache, QString(), monoFont()));
    EXPECT_EQ(cache.size(), 2u);
}

TEST(TextShaper, FallbackFontsKeepTheirOwnRun)
{
    ShaperCache cache;
    const std::shared_ptr<const ShaperRun> run = shapeText(cache, QStringLiteral("a😀"), monoFont());
    ASSERT_TRUE(run);
    ASSERT_EQ(run->glyphRuns.size(), 2u);
    EXPECT_NE(run->glyphRuns[0].font.familyName(), run->glyphRuns[1].font.familyName());
    EXPECT_EQ(run->glyphCount, 2);
}

TEST(ShaperCache, EvictsByAgeOfFirstInsertionNotByUse)
{
    ShaperCache cache;
    const auto key = [](int i) { return ShaperKey{"Mono", 13, QString::number(i)}; };
    const auto run = std::make_shared<const ShaperRun>();
    for (int i = 0; i < 2048; ++i) {
        cache.insert(run, key(i));
    }
    EXPECT_EQ(cache.size(), 2048u);
    // Looking up and replacing the oldest key leaves it the oldest.
    EXPECT_TRUE(cache.lookup(key(0)));
    cache.insert(std::make_shared<const ShaperRun>(), key(0));
    EXPECT_EQ(cache.order().front(), key(0));

    cache.insert(run, key(2048));
    EXPECT_EQ(cache.size(), 2048u);
    EXPECT_EQ(cache.order().size(), 2048u);
    EXPECT_FALSE(cache.lookup(key(0)));
    EXPECT_EQ(cache.order().front(), key(1));
    EXPECT_TRUE(cache.lookup(key(2048)));
}

TEST(ShaperCache, KeysCompareSizesNumerically)
{
    ShaperCache cache;
    cache.insert(std::make_shared<const ShaperRun>(), {"Mono", 0.0, "x"});
    EXPECT_TRUE(cache.lookup({"Mono", -0.0, "x"}));
    EXPECT_FALSE(cache.lookup({"Mono", 0.5, "x"}));
}

} // namespace
} // namespace kestrix
