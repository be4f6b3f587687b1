#include "Kestrix/model/Base64.h"
#include "Kestrix/rendering/AppleImage.h"
#include "tests/Kestrix/view/TerminalViewTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;
using Position = std::pair<int64_t, int64_t>;

// (line, column, image id, placement id) of every stripe, top to bottom.
std::vector<std::tuple<int64_t, int64_t, uint32_t, uint32_t>> stripes(Terminal &t)
{
    std::vector<std::tuple<int64_t, int64_t, uint32_t, uint32_t>> found;
    for (int64_t row = 0; row < t.buffer->lines().count(); ++row) {
        const BufferLine &line = t.buffer->lines()[row];
        if (!line.images) {
            continue;
        }
        for (const auto &each : *line.images) {
            const auto stripe = std::dynamic_pointer_cast<AppleImage>(each);
            found.emplace_back(row, stripe->col(), stripe->kittyImageId.value_or(0),
                               stripe->kittyPlacementId.value_or(0));
        }
    }
    return found;
}

std::string graphics(std::string_view command)
{
    return "\x1b_G" + std::string(command) + "\x1b\\";
}

TEST(TerminalViewKitty, HostPlacementsBecomeLabelledStripesThatDeletionTakesAway)
{
    // Cells of 8 × 15: a 16 × 30 image covers 2 × 2 cells.
    ViewFixture f{ViewFixture::gridFrame(10, 6)};
    Terminal &t = f.terminal();
    const std::string pixels = Base64::encode(std::vector<uint8_t>(16 * 30 * 4, 255));
    t.feedString("\x1b[2;3H" + graphics("a=T,s=16,v=30,i=5,p=1;" + pixels));
    EXPECT_EQ(f.host.sentText(), graphics("i=5,p=1;OK"));
    EXPECT_EQ(t.cursorPosition(), Position(4, 2));

    t.feedString(graphics("a=p,i=5,p=2,P=5,Q=1,H=3,V=1"));
    EXPECT_EQ(t.cursorPosition(), Position(4, 2));
    using Stripes = std::vector<std::tuple<int64_t, int64_t, uint32_t, uint32_t>>;
    EXPECT_EQ(stripes(t), (Stripes{{1, 2, 5, 1}, {2, 2, 5, 1}, {2, 5, 5, 2}, {3, 5, 5, 2}}));

    // The child keeps the image in use when its parent goes.
    t.feedString(graphics("a=d,d=I,i=5,p=1"));
    EXPECT_EQ(stripes(t), (Stripes{{2, 5, 5, 2}, {3, 5, 5, 2}}));
    EXPECT_TRUE(t.kittyGraphicsState.imagesById.contains(5));

    t.feedString(graphics("a=d,d=I,i=5"));
    EXPECT_TRUE(stripes(t).empty());
    EXPECT_TRUE(t.kittyGraphicsState.placementsByKey.empty());
    EXPECT_TRUE(t.kittyGraphicsState.imagesById.empty());
}

TEST(TerminalViewKitty, TheCursorEndsOnTheImagesLastRowRightOfItsLastColumn)
{
    const std::string pixel = Base64::encode(std::vector<uint8_t>(4, 255));
    struct Case {
        std::string command;
        Position cursor;
        int64_t yBase;
    };
    // On a 10 × 6 grid from the top-left cell.
    const Case cases[] = {
        {"a=T,s=1,v=1,c=4,r=3;" + pixel, {4, 2}, 0},
        // Down to the bottom row: nothing scrolls.
        {"a=T,s=1,v=1,c=2,r=6;" + pixel, {2, 5}, 0},
        // Taller than the screen: the screen scrolls until the last row shows.
        {"a=T,s=1,v=1,c=2,r=8;" + pixel, {2, 5}, 2},
    };
    for (const Case &each : cases) {
        ViewFixture f{ViewFixture::gridFrame(10, 6)};
        Terminal &t = f.terminal();
        t.feedString(graphics(each.command));
        EXPECT_EQ(t.cursorPosition(), each.cursor) << each.command;
        EXPECT_EQ(t.buffer->yBase(), each.yBase) << each.command;
        t.feedString("x");
        EXPECT_EQ(t.cursorPosition(), Position(each.cursor.first + 1, each.cursor.second)) << each.command;
    }
}

} // namespace
} // namespace kestrix
