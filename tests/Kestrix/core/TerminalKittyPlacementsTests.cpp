#include "KittyPlacementTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::KittyTerminal;
using testing::reply;
using testing::rgbaImage;
using testing::StripeLocation;
using testing::stripesOf;

// Cells are 10 × 20 pixels, so a 20 × 40 image covers 2 × 2 cells.
struct KittyPlacements : ::testing::Test {
    KittyPlacements()
    {
        terminal.insertKittyImage(rgbaImage(20, 40), 1, std::nullopt);
        terminal.insertKittyImage(rgbaImage(20, 40), 9, 3);
    }
    KittyTerminal host;
    Terminal &terminal = host.terminal;
    KittyGraphicsState &state = host.terminal.kittyGraphicsState;
};

TEST_F(KittyPlacements, PutFindsTheImageByNumberThenByIdAndAnswers)
{
    struct Case {
        std::string command;
        std::string answer;
    };
    const std::vector<Case> cases{
        {"a=p,i=7", reply("i=7;ENOENT: image not found")},
        {"a=p,I=5", reply("I=5;ENOENT: image not found")},
        {"a=p,I=3", reply("i=9,I=3;OK")},
        {"a=p,I=4,i=1", reply("i=1;OK")}, // an unknown number falls back to the id
        {"a=p,i=1,p=5", reply("i=1,p=5;OK")},
        {"a=p,i=1,q=1", ""},
    };
    for (const Case &each : cases) {
        EXPECT_EQ(host.send(each.command), each.answer) << each.command;
    }
    EXPECT_EQ(host.view.placedAt.size(), 4u);
}

TEST_F(KittyPlacements, APlacementWithAnIdIsRecordedAndItsStripesCarryIt)
{
    host.moveCursor(3, 2);
    ASSERT_EQ(host.send("a=p,i=1,p=5,z=-2"), reply("i=1,p=5;OK"));
    const KittyPlacementRecord *record = host.record(1, 5);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->col, 3);
    EXPECT_EQ(record->row, 2);
    EXPECT_EQ(record->zIndex, -2);
    EXPECT_FALSE(record->isVirtual);
    EXPECT_EQ(stripesOf(*terminal.buffer)[1], (std::vector<StripeLocation>{{2, 3, 2}, {3, 3, 2}}));
    EXPECT_FALSE(terminal.kittyPlacementContext);
}

TEST_F(KittyPlacements, PuttingTheSameKeyAgainReplacesTheOldPlacement)
{
    host.send("a=p,i=1,p=5");
    host.moveCursor(10, 6);
    host.send("a=p,i=1,p=5");
    EXPECT_EQ(stripesOf(*terminal.buffer)[1], (std::vector<StripeLocation>{{6, 10, 6}, {7, 10, 6}}));
    EXPECT_EQ(host.record(1, 5)->row, 6);
}

TEST_F(KittyPlacements, AnImageWithoutAnIdIsShownButNotRecorded)
{
    KittyGraphicsControl control;
    control.action = 'T';
    control.placementId = 4;
    EXPECT_TRUE(terminal.placeKittyImage(rgbaImage(20, 40), control, std::nullopt, std::nullopt));
    EXPECT_EQ(host.view.placedAt.size(), 1u);
    EXPECT_TRUE(state.placementsByKey.empty());
    EXPECT_EQ(stripesOf(*terminal.buffer)[0].size(), 2u);
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{2, 1}));
}

TEST_F(KittyPlacements, VirtualPlacementsTakeCountedIdsAndTouchNoCells)
{
    host.moveCursor(4, 3);
    EXPECT_EQ(host.send("a=p,i=1,U=1,c=5,r=-2,X=3"), reply("i=1;OK"));
    EXPECT_EQ(host.send("a=p,i=1,U=1"), reply("i=1;OK"));
    const KittyPlacementRecord *first = host.record(1, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVirtual);
    EXPECT_EQ(first->col, 4);
    EXPECT_EQ(first->row, 3);
    EXPECT_EQ(first->cols, 5);
    EXPECT_EQ(first->rows, 0);
    EXPECT_EQ(first->pixelOffsetX, 3);
    EXPECT_NE(host.record(1, 2), nullptr);
    EXPECT_EQ(state.nextPlacementId, 3u);
    EXPECT_TRUE(host.view.placedAt.empty());
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{4, 3}));
}

TEST_F(KittyPlacements, TheVirtualPlacementCounterSkipsZeroWhenItWraps)
{
    state.nextPlacementId = 0;
    host.send("a=p,i=1,U=1");
    EXPECT_NE(host.record(1, 1), nullptr);
    EXPECT_EQ(state.nextPlacementId, 2u);
}

TEST_F(KittyPlacements, AVirtualPlacementCannotHaveAParent)
{
    EXPECT_EQ(host.send("a=p,i=1,U=1,P=1,Q=1"),
              reply("i=1;EINVAL: virtual placement cannot refer to parent"));
    EXPECT_EQ(host.send("a=p,i=1,U=1,Q=1"), reply("i=1;EINVAL: virtual placement cannot refer to parent"));
    EXPECT_TRUE(state.placementsByKey.empty());
}

TEST_F(KittyPlacements, CropErrorsAreAnsweredAndPlaceNothing)
{
    terminal.insertKittyImage(rgbaImage(4, 4), 2, std::nullopt);
    terminal.insertKittyImage(KittyGraphicsPayload::png({1, 2, 3}), 3, std::nullopt);
    EXPECT_EQ(host.send("a=p,i=2,x=5,w=0"), reply("i=2;EINVAL: bad crop"));
    EXPECT_EQ(host.send("a=p,i=3,w=2"), reply("i=3;ENOTSUP: cannot crop png"));
    EXPECT_TRUE(host.view.placedAt.empty());
    EXPECT_EQ(host.send("a=p,i=2,x=1,y=1,w=2,h=2"), reply("i=2;OK"));
}

TEST_F(KittyPlacements, TheCursorMovesPastTheImageUnlessAskedToStay)
{
    struct Case {
        std::string keys;
        std::pair<int64_t, int64_t> cursor;
    };
    // From column 2, row 1; the image is 20 × 40 pixels, cells 10 × 20. The cursor goes to the cell
    // right after the image's last cell: its last row, the column after its last column.
    const std::vector<Case> cases{
        {"", {4, 2}},
        {",C=1", {2, 1}},
        {",c=3,r=2", {5, 2}},
        {",c=3", {5, 3}},          // 30 pixels wide keeps the ratio: 60 high, 3 rows
        {",r=1", {3, 1}},          // 20 high: 10 wide, 1 column
        {",X=5", {5, 2}},          // 5 + 20 pixels need 3 columns
        {",X=50", {5, 2}},         // an offset stays inside the first cell
        {",c=100,r=100", {19, 9}}, // clamped to the screen
    };
    for (const Case &each : cases) {
        KittyTerminal fresh;
        fresh.terminal.insertKittyImage(rgbaImage(20, 40), 1, std::nullopt);
        fresh.moveCursor(2, 1);
        fresh.send("a=p,i=1" + each.keys);
        EXPECT_EQ(fresh.cursor(), each.cursor) << each.keys;
    }
}

TEST_F(KittyPlacements, WithoutACellSizeTheCursorTakesLineFeedsToTheLastRowAsked)
{
    host.view.cellSize.reset();
    host.moveCursor(2, 8);
    host.send("a=p,i=1,c=3,r=4,C=0");
    // From row 8 the image itself scrolled the screen; the cursor goes down to the image's last
    // line, scrolling at the bottom.
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{5, 9}));
}

TEST_F(KittyPlacements, AHugeRowCountNeitherHangsNorLeavesTheScreen)
{
    host.view.cellSize.reset();
    // The fake view would cut this many stripes, so hand over nothing.
    terminal.setDelegate(nullptr);
    host.send("a=p,i=1,c=9223372036854775807,r=9223372036854775807");
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{19, 9}));
}

// MARK: Relative placements

TEST_F(KittyPlacements, AChildIsPlacedAtAnOffsetFromItsParentAndTheCursorReturns)
{
    host.moveCursor(4, 3);
    host.send("a=p,i=1,p=1");
    host.moveCursor(0, 0);
    EXPECT_EQ(host.send("a=p,i=9,p=2,P=1,Q=1,H=2,V=1"), reply("i=9,p=2;OK"));
    EXPECT_EQ(host.view.placedAt.back(), (std::pair<int64_t, int64_t>{6, 4}));
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{0, 0}));
    // A grandchild adds the offsets of the whole chain.
    host.send("a=p,i=1,p=3,P=9,Q=2,H=-3,V=2");
    EXPECT_EQ(host.view.placedAt.back(), (std::pair<int64_t, int64_t>{3, 6}));
    EXPECT_EQ(host.record(1, 3)->parentImageId, 9u);
}

TEST_F(KittyPlacements, ParentErrorsAreAnswered)
{
    host.send("a=p,i=1,p=1");
    host.feed("\x1b[?47h");
    host.send("a=p,i=1,p=2");
    host.feed("\x1b[?47l");
    // Switching screens freed the unused image 9.
    terminal.insertKittyImage(rgbaImage(20, 40), 9, std::nullopt);
    struct Case {
        std::string command;
        std::string answer;
    };
    const std::vector<Case> cases{
        {"a=p,i=9,P=1,Q=7", reply("i=9;ENOPARENT: parent placement not found")},
        {"a=p,i=9,P=1,Q=2", reply("i=9;ENOPARENT: parent placement not in current buffer")},
        {"a=p,i=9,P=1,Q=1,V=-1", reply("i=9;EINVAL: placement out of range")},
        // Rows below the screen are refused too: the cursor cannot go there.
        {"a=p,i=9,P=1,Q=1,V=10", reply("i=9;EINVAL: placement out of range")},
        {"a=p,i=9,P=1,Q=1,V=9223372036854775807", reply("i=9;EINVAL: placement out of range")},
    };
    for (const Case &each : cases) {
        EXPECT_EQ(host.send(each.command), each.answer) << each.command;
    }
    EXPECT_EQ(host.view.placedAt.size(), 2u);
    EXPECT_EQ(host.cursor(), (std::pair<int64_t, int64_t>{4, 2}));
}

TEST_F(KittyPlacements, ARefusedRelativePlacementKeepsThePlacementItWouldReplace)
{
    host.send("a=p,i=1,p=1");
    host.send("a=p,i=9,p=2");
    EXPECT_EQ(host.send("a=p,i=9,p=2,P=1,Q=1,V=-5"), reply("i=9;EINVAL: placement out of range"));
    EXPECT_NE(host.record(9, 2), nullptr);
    EXPECT_EQ(stripesOf(*terminal.buffer)[9].size(), 2u);
}

TEST_F(KittyPlacements, ParentChainsThatLoopFailAndLongChainsResolve)
{
    auto &table = state.placementsByKey;
    const auto link = [&table](uint32_t id, std::optional<uint32_t> parent) {
        KittyPlacementRecord record;
        record.imageId = id;
        record.placementId = 1;
        record.row = 5;
        record.col = 1;
        if (parent) {
            record.parentImageId = *parent;
            record.parentPlacementId = 1;
            record.parentOffsetV = 1;
            record.parentOffsetH = -1;
        }
        table.insert_or_assign(KittyPlacementKey{id, 1}, record);
    };
    link(100, 101);
    link(101, 102);
    link(102, 100);
    Terminal::KittyPlacementMemo memo;
    EXPECT_FALSE(terminal.resolveKittyPlacementPosition({100, 1}, {}, memo));
    EXPECT_EQ(host.send("a=p,i=1,P=101,Q=1"), reply("i=1;ENOPARENT: parent placement not found"));

    // A chain far deeper than any stack would hold.
    constexpr uint32_t depth = 50000;
    link(1000, std::nullopt);
    for (uint32_t id = 1001; id <= 1000 + depth; ++id) {
        link(id, id - 1);
    }
    memo.clear();
    const std::optional<Position> deepest =
        terminal.resolveKittyPlacementPosition({1000 + depth, 1}, {}, memo);
    ASSERT_TRUE(deepest);
    EXPECT_EQ(*deepest, (Position{1 - int64_t{depth}, 5 + int64_t{depth}}));
}

// MARK: Scrolling

TEST_F(KittyPlacements, ARecordFollowsItsStripesWhenAFullRingScrolls)
{
    // No scrollback: every scroll moves each line up one index.
    KittyTerminal small(20, 10, 0);
    small.terminal.insertKittyImage(rgbaImage(20, 40), 1, std::nullopt);
    small.moveCursor(0, 4);
    small.send("a=p,i=1,p=1,C=1");
    small.moveCursor(0, 9);
    small.feed("\n\n");
    EXPECT_EQ(small.record(1, 1)->row, 2);
    EXPECT_EQ(stripesOf(*small.terminal.buffer)[1].front().line, 2);
    // Scrolled off the top: the record keeps its last known place.
    small.feed("\n\n\n\n");
    EXPECT_TRUE(stripesOf(*small.terminal.buffer)[1].empty());
    EXPECT_EQ(small.record(1, 1)->row, 0);
}

TEST_F(KittyPlacements, WithScrollbackRoomARecordKeepsItsLine)
{
    host.moveCursor(0, 4);
    host.send("a=p,i=1,p=1,C=1");
    host.moveCursor(0, 9);
    host.feed("\n\n\n");
    EXPECT_EQ(host.record(1, 1)->row, 4);
    EXPECT_EQ(terminal.buffer->yBase(), 3);
}

TEST_F(KittyPlacements, AChildFollowsItsParentWhenOnlyTheParentScrolls)
{
    // Parent on rows 3-4 inside a region of rows 1-5; child four rows below it, outside the region.
    host.feed("\x1b[2;6r");
    host.moveCursor(3, 3);
    host.send("a=p,i=1,p=1,C=1");
    host.send("a=p,i=9,p=2,P=1,Q=1,H=1,V=4");
    ASSERT_EQ(host.record(9, 2)->row, 7);
    host.moveCursor(0, 5);
    host.feed("\n");
    EXPECT_EQ(host.record(1, 1)->row, 2);
    EXPECT_EQ(host.record(9, 2)->row, 6);
    EXPECT_EQ(host.record(9, 2)->col, 4);
    EXPECT_EQ(stripesOf(*terminal.buffer)[9], (std::vector<StripeLocation>{{6, 4, 6}, {7, 4, 6}}));
}

} // namespace
} // namespace kestrix
