#include "Kestrix/graphics/KittyPlacementImage.h"
#include "Kestrix/model/Base64.h"
#include "ReportingDelegate.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::TerminalWithHost;

class KittyCellImage : public KittyPlacementImage {
public:
    explicit KittyCellImage(std::optional<uint32_t> imageId)
    {
        kittyIsKitty = true;
        kittyImageId = imageId;
    }
    int64_t pixelWidth() const override { return 1; }
    int64_t pixelHeight() const override { return 1; }
    int64_t col() const override { return 0; }
    void setCol(int64_t) override {}
};

KittyGraphicsPayload imageOfSize(int64_t bytes)
{
    return KittyGraphicsPayload::rgba(std::vector<uint8_t>(static_cast<size_t>(bytes)), bytes / 4, 1);
}

std::vector<uint32_t> storedIds(const Terminal &terminal)
{
    std::vector<uint32_t> ids;
    for (const auto &[id, image] : terminal.kittyGraphicsState.imagesById) {
        ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

struct StoreFixture : ::testing::Test {
    StoreFixture() { host.terminal.options.kittyImageCacheLimitBytes = 1000; }
    TerminalWithHost host;
    Terminal &terminal = host.terminal;
    KittyGraphicsState &state = host.terminal.kittyGraphicsState;
};

TEST_F(StoreFixture, AStoreStartsEmpty)
{
    EXPECT_TRUE(state.imagesById.empty());
    EXPECT_EQ(state.nextImageId, 1u);
    EXPECT_EQ(state.nextPlacementId, 1u);
    EXPECT_EQ(state.nextImageAccessTick, 1u);
    EXPECT_FALSE(state.pending);
    EXPECT_FALSE(terminal.kittyPlacementContext);
}

TEST_F(StoreFixture, StoringUnderAnIdInUseReplacesTheImageAndItsBytes)
{
    terminal.insertKittyImage(imageOfSize(400), 5, std::nullopt);
    terminal.insertKittyImage(imageOfSize(100), 5, std::nullopt);
    EXPECT_EQ(state.totalImageBytes, 100);
    EXPECT_EQ(state.imagesById.at(5).lastAccessTick, 2u);
}

TEST_F(StoreFixture, EvictionDropsTheOldestUnusedImageFirst)
{
    terminal.insertKittyImage(imageOfSize(600), 1, 7);
    terminal.insertKittyImage(imageOfSize(500), 2, std::nullopt);
    EXPECT_EQ(storedIds(terminal), (std::vector<uint32_t>{2}));
    EXPECT_EQ(state.totalImageBytes, 500);
    EXPECT_FALSE(state.imageNumbers.contains(7));
}

TEST_F(StoreFixture, ALookupCountsAsUseForEviction)
{
    terminal.insertKittyImage(imageOfSize(400), 1, std::nullopt);
    terminal.insertKittyImage(imageOfSize(400), 2, std::nullopt);
    ASSERT_NE(terminal.lookupKittyImage(1), nullptr);
    terminal.insertKittyImage(imageOfSize(400), 3, std::nullopt);
    EXPECT_EQ(storedIds(terminal), (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(terminal.lookupKittyImage(9), nullptr);
}

TEST_F(StoreFixture, ImagesInUseGoOnlyWhenUnusedOnesCannotMakeRoom)
{
    terminal.insertKittyImage(imageOfSize(600), 1, std::nullopt);
    terminal.normalBuffer->appendLineImage(std::make_shared<KittyCellImage>(1), 0);
    // The newest image is the only unused one, so it goes itself.
    terminal.insertKittyImage(imageOfSize(500), 2, std::nullopt);
    EXPECT_EQ(storedIds(terminal), (std::vector<uint32_t>{1}));
    // With every image in use (image 4 by a placement record), the oldest in use goes.
    state.placementsByKey[{4, 1}] = KittyPlacementRecord{.imageId = 4, .placementId = 1};
    terminal.insertKittyImage(imageOfSize(700), 4, std::nullopt);
    EXPECT_EQ(storedIds(terminal), (std::vector<uint32_t>{4}));
    EXPECT_EQ(state.totalImageBytes, 700);
}

// A host that does what the view does with a Kitty image: label a cell image on the cursor line.
class PlacingDelegate : public testing::ReportingDelegate {
public:
    void terminalBitmapImage(Terminal &source, std::span<const uint8_t>, int64_t, int64_t) override
    {
        if (const auto &context = source.kittyPlacementContext) {
            source.buffer->appendLineImage(std::make_shared<KittyCellImage>(context->imageId),
                                           source.buffer->y() + source.buffer->yBase());
        }
    }
};

TEST(KittyGraphicsStore, AnImageShownOnScreenOutlastsANewerUnusedOne)
{
    PlacingDelegate delegate;
    TerminalOptions options = testing::optionsOfSize(10, 5);
    options.kittyImageCacheLimitBytes = 1000;
    Terminal terminal(&delegate, options);
    const auto transmit = [&terminal](std::string_view command, int64_t bytes) {
        const std::string pixels = Base64::encode(std::vector<uint8_t>(static_cast<size_t>(bytes)));
        terminal.feedString("\x1b_G" + std::string(command) + ",s=" + std::to_string(bytes / 4) + ",v=1;" +
                            pixels + "\x1b\\");
    };
    transmit("a=t,i=1", 600);
    terminal.feedString("\x1b_Ga=p,i=1\x1b\\");
    delegate.sent.clear();
    transmit("a=t,i=2", 500);
    EXPECT_EQ(delegate.sent, "\x1b_Gi=2;OK\x1b\\");
    EXPECT_EQ(storedIds(terminal), (std::vector<uint32_t>{1}));
    EXPECT_EQ(terminal.kittyGraphicsState.totalImageBytes, 600);
}

TEST(KittyGraphicsStore, ChunkedTransmitAndDisplayShowsTheJoinedImage)
{
    PlacingDelegate delegate;
    Terminal terminal(&delegate, testing::optionsOfSize(10, 5));
    terminal.feedString("\x1b_Ga=T,i=3,s=1,v=1,m=1;AAA\x1b\\");
    terminal.feedString("\x1b_Gm=1;AA\x1b\\");
    terminal.feedString("\x1b_Gm=0;A==\x1b\\");
    EXPECT_EQ(delegate.sent, "\x1b_Gi=3;OK\x1b\\");
    EXPECT_EQ(terminal.referencedKittyImageIds(), (std::unordered_set<uint32_t>{3}));
}

TEST(KittyGraphicsStore, TransmitAndDisplayWithoutAnIdShowsButNeitherStoresNorAnswers)
{
    PlacingDelegate delegate;
    Terminal terminal(&delegate, testing::optionsOfSize(10, 5));
    terminal.feedString("\x1b_Ga=T,s=1,v=1;AAAAAA==\x1b\\");
    EXPECT_EQ(delegate.sent, "");
    EXPECT_TRUE(terminal.kittyGraphicsState.imagesById.empty());
    EXPECT_TRUE(terminal.buffer->hasLinesWithImages());
}

TEST(KittyGraphicsStore, EveryTransmissionGivesTheImageANewRevision)
{
    PlacingDelegate delegate;
    Terminal terminal(&delegate, testing::optionsOfSize(10, 5));
    // The same id, size and data twice: a renderer must still see the second image as new.
    terminal.feedString("\x1b_Ga=t,q=2,i=5,s=1,v=1;AAAAAA==\x1b\\");
    const uint64_t first = terminal.kittyGraphicsState.imagesById.at(5).revision;
    terminal.feedString("\x1b_Ga=t,q=2,i=5,s=1,v=1;AAAAAA==\x1b\\");
    const uint64_t second = terminal.kittyGraphicsState.imagesById.at(5).revision;
    EXPECT_NE(first, second);
    EXPECT_EQ(terminal.kittyGraphicsState.transmissionRevision, second);
    EXPECT_EQ(terminal.kittyGraphicsState.imagesById.size(), 1u);
}

TEST(KittyGraphicsStore, CacheLimitIsClampedToItsRange)
{
    struct Case {
        int64_t limit;
        int64_t storedBytes;
    };
    for (const Case &each : {Case{0, 0}, Case{-5, 0}, Case{5000000000, 4000}}) {
        TerminalWithHost host;
        host.terminal.options.kittyImageCacheLimitBytes = each.limit;
        host.terminal.insertKittyImage(imageOfSize(4000), 1, std::nullopt);
        EXPECT_EQ(host.terminal.kittyGraphicsState.totalImageBytes, each.storedBytes) << each.limit;
    }
}

TEST(KittyGraphicsReplies, RepliesNameTheImageAsTheProtocolDoes)
{
    struct Case {
        KittyGraphicsControl control;
        bool isError;
        std::string expected;
    };
    const KittyGraphicsControl both{.imageId = 3, .imageNumber = 4, .placementId = 2};
    const Case cases[] = {
        {both, true, "\x1b_Gi=3;EINVAL: bad payload\x1b\\"},
        {KittyGraphicsControl{.imageNumber = 4}, true, "\x1b_GI=4;EINVAL: bad payload\x1b\\"},
        {both, false, "\x1b_Gi=3,I=4,p=2;OK\x1b\\"},
        // A command that names no image by "i" or "I" is never answered.
        {KittyGraphicsControl{.placementId = 2}, true, ""},
        {KittyGraphicsControl{.placementId = 2}, false, ""},
        {KittyGraphicsControl{}, false, ""},
        {KittyGraphicsControl{.suppressResponses = 2}, true, ""},
        {KittyGraphicsControl{.suppressResponses = 1}, false, ""},
    };
    for (const Case &each : cases) {
        TerminalWithHost host;
        if (each.isError) {
            host.terminal.sendKittyGraphicsError(each.control, "EINVAL: bad payload");
        } else {
            host.terminal.sendKittyGraphicsOk(each.control, each.control.imageId, each.control.imageNumber,
                                              each.control.placementId);
        }
        EXPECT_EQ(host.delegate.sent, each.expected);
    }
}

TEST(KittyGraphicsReplies, EightBitControlsFrameRepliesWithC1Bytes)
{
    TerminalWithHost host;
    host.terminal.cc.send8bit = true;
    host.terminal.sendKittyGraphicsOk(KittyGraphicsControl{.imageId = 1}, 1, std::nullopt, std::nullopt);
    EXPECT_EQ(host.delegate.sent, "\x9fGi=1;OK\x9c");
}

} // namespace
} // namespace kestrix
