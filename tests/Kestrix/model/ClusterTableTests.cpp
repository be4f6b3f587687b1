#include "Kestrix/model/ClusterTable.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace kestrix {
namespace {

// Texts of every storage form: within a slot (up to eight bytes, zero bytes included, so padding
// cannot make two texts equal) and in the arena (nine bytes on, up to a full cluster and beyond).
std::vector<std::string> textsOfEveryForm()
{
    return {
        "e\xcc\x81",
        "\xf0\x9f\x98\x80",
        "a",
        std::string("a\0", 2),
        std::string("a\0\0", 3),
        "12345678",
        "12345679",
        "123456789",
        "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7",
        std::string(128, 'x'),
        std::string(128, 'x') + "y",
        std::string(5000, 'z'),
    };
}

std::vector<uint64_t> bitsOf(const std::vector<uint32_t> &indices, uint32_t limit)
{
    std::vector<uint64_t> bits((limit + 63) / 64, 0);
    for (const uint32_t index : indices) {
        bits[index / 64] |= uint64_t{1} << (index % 64);
    }
    return bits;
}

TEST(ClusterTable, EqualTextsShareAnIndexAndDistinctTextsDoNot)
{
    ClusterTable table(100);
    std::map<uint32_t, std::string> byIndex;
    for (const std::string &text : textsOfEveryForm()) {
        const std::optional<uint32_t> index = table.intern(text);
        ASSERT_TRUE(index.has_value());
        EXPECT_TRUE(byIndex.emplace(*index, text).second) << "index given twice: " << *index;
    }
    for (const auto &[index, text] : byIndex) {
        EXPECT_EQ(table.intern(std::string(text)), index);
        EXPECT_EQ(table.find(text), index);
        EXPECT_EQ(table.text(index), text);
    }
    EXPECT_EQ(table.size(), byIndex.size());
    EXPECT_EQ(table.intern(""), std::nullopt);
    EXPECT_EQ(table.find("not interned"), std::nullopt);
    EXPECT_EQ(table.text(table.indexLimit()), "");
}

// The print path reads a short text's key with one load from the bytes it lies in: the bytes after
// it must not count, and the key must find what keyOf interned.
TEST(ClusterTable, AShortTextsKeyReadFromLongerBytesIsItsOwnKey)
{
    ClusterTable table(100);
    const std::string bytes = std::string("a\xcc\x81\xcc\x82\0b\xff", 9) + "trailing";
    for (size_t size = 1; size <= 8; ++size) {
        const std::string_view text(bytes.data(), size);
        const ClusterTable::Key key = ClusterTable::keyOfReadable(bytes.data(), size);
        EXPECT_EQ(key.hash, ClusterTable::keyOf(text).hash) << size;
        EXPECT_EQ(key.word, ClusterTable::keyOf(text).word) << size;
        const std::optional<uint32_t> index = table.intern(text);
        ASSERT_TRUE(index.has_value());
        EXPECT_EQ(table.internedIndex(text, key), *index) << size;
    }
    EXPECT_EQ(table.size(), 8u);
}

TEST(ClusterTable, ManyTextsRoundTripAsTheIndexGrows)
{
    ClusterTable table(ClusterTable::maximumCapacity);
    std::vector<std::string> texts;
    for (int i = 0; i < 100000; ++i) {
        texts.push_back((i % 3 == 0 ? std::string(12, '#') : std::string()) + std::to_string(i));
        EXPECT_EQ(table.intern(texts.back()), static_cast<uint32_t>(i));
    }
    for (uint32_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(table.find(texts[i]), i);
        ASSERT_EQ(table.text(i), texts[i]);
    }
}

TEST(ClusterTable, FullTableRefusesNewTextsAndStillFindsItsOwn)
{
    ClusterTable table(2);
    EXPECT_EQ(table.intern("ab"), 0u);
    EXPECT_EQ(table.intern("cd"), 1u);
    EXPECT_TRUE(table.isFull());
    EXPECT_EQ(table.intern("ef"), std::nullopt);
    EXPECT_EQ(table.intern("ab"), 0u);
    EXPECT_EQ(table.size(), 2u);
    table.setCapacity(3);
    EXPECT_EQ(table.intern("ef"), 2u);
}

TEST(ClusterTable, ReclaimFreesOnlyUnmarkedTextsAndHandsTheirIndicesOutAgain)
{
    const std::vector<std::string> texts = textsOfEveryForm();
    ClusterTable table(texts.size());
    for (const std::string &text : texts) {
        table.intern(text);
    }
    // Keep every third text.
    std::vector<uint32_t> kept;
    for (uint32_t i = 0; i < texts.size(); i += 3) {
        kept.push_back(i);
    }
    EXPECT_EQ(table.reclaim(bitsOf(kept, table.indexLimit()), 0), texts.size() - kept.size());
    EXPECT_EQ(table.size(), kept.size());
    for (uint32_t i = 0; i < texts.size(); ++i) {
        const bool isKept = i % 3 == 0;
        EXPECT_EQ(table.text(i), isKept ? texts[i] : "") << i;
        EXPECT_EQ(table.find(texts[i]), isKept ? std::optional<uint32_t>(i) : std::nullopt) << i;
    }
    // Freed indices come back lowest first, for new texts and for freed ones interned again.
    EXPECT_EQ(table.intern("new"), 1u);
    EXPECT_EQ(table.intern(texts[2]), 2u);
    EXPECT_EQ(table.intern(texts[0]), 0u);
    EXPECT_EQ(table.text(1), "new");
}

// Random interning and reclaiming against a plain map: every text the table holds is found at its
// index with its text, whatever slots moved when others were freed.
void expectRandomInterningAndReclaimingAgreeWithAPlainMap(size_t capacity, uint32_t distinctTexts)
{
    std::mt19937 random(7);
    ClusterTable table(capacity);
    std::map<uint32_t, std::string> model;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 400; ++i) {
            const uint32_t n = random() % distinctTexts;
            const std::string text = (n % 5 == 0 ? std::string(10, 'L') : std::string()) + std::to_string(n);
            const std::optional<uint32_t> index = table.intern(text);
            if (index) {
                const auto [at, added] = model.emplace(*index, text);
                ASSERT_EQ(at->second, text);
            } else {
                ASSERT_TRUE(table.isFull());
            }
        }
        std::vector<uint32_t> kept;
        for (auto it = model.begin(); it != model.end();) {
            if (random() % 2 == 0) {
                kept.push_back(it->first);
                ++it;
            } else {
                it = model.erase(it);
            }
        }
        table.reclaim(bitsOf(kept, table.indexLimit()), 0);
        ASSERT_EQ(table.size(), model.size());
        for (const auto &[index, text] : model) {
            ASSERT_EQ(table.text(index), text);
            ASSERT_EQ(table.find(text), index);
        }
    }
}

TEST(ClusterTable, RandomInterningAndReclaimingAgreeWithAPlainMap)
{
    expectRandomInterningAndReclaimingAgreeWithAPlainMap(300, 2000);
}

// A full table of a power-of-two capacity fills half its slots: probe runs are longest there, and
// most kept texts move when others are freed.
TEST(ClusterTable, RandomInterningAndReclaimingAgreeWithAPlainMapAtTheHighestLoad)
{
    for (const size_t capacity : {256, 512}) {
        expectRandomInterningAndReclaimingAgreeWithAPlainMap(capacity, 4 * static_cast<uint32_t>(capacity));
    }
}

TEST(ClusterTable, AReclaimThatFindsEveryTextInUseIsNotRepeatedAtEveryRefusal)
{
    ClusterTable table(4);
    for (const char *text : {"ab", "cd", "ef", "gh"}) {
        table.intern(text);
    }
    EXPECT_TRUE(table.reclaimIsDue());
    const std::vector<uint32_t> all{0, 1, 2, 3};
    EXPECT_EQ(table.reclaim(bitsOf(all, 4), 10000), 0u);
    EXPECT_FALSE(table.reclaimIsDue());
    int refusals = 0;
    while (!table.reclaimIsDue() && refusals < 10000) {
        EXPECT_EQ(table.intern("new" + std::to_string(refusals)), std::nullopt);
        ++refusals;
    }
    EXPECT_GT(refusals, 1);
    EXPECT_LT(refusals, 10000);
    // A cheap search is due again at once.
    table.reclaim(bitsOf(all, 4), 0);
    EXPECT_TRUE(table.reclaimIsDue());
}

} // namespace
} // namespace kestrix
