#include "KittyPlacementTestSupport.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::KittyTerminal;
using testing::reply;
using testing::rgbaImage;
using testing::shownImageIds;
using testing::storedImageIds;
using testing::stripesOf;

using Ids = std::set<uint32_t>;

// On a 20 × 10 screen with cells of 10 × 20 pixels:
//   image 1, placement 1: columns 0-1, rows 0-2, z 0
//   image 2, placement 1: columns 5-6, rows 3-4, z -1 (image number 7)
//   image 3, no placement id: columns 10-11, rows 5-6, z 0
//   image 4, virtual placement 1 at column 15, row 8
//   image 5: stored, shown nowhere
struct Scene {
    Scene()
    {
        terminal.insertKittyImage(rgbaImage(20, 60), 1, std::nullopt);
        terminal.insertKittyImage(rgbaImage(20, 40), 2, 7);
        terminal.insertKittyImage(rgbaImage(20, 40), 3, std::nullopt);
        terminal.insertKittyImage(rgbaImage(20, 40), 4, std::nullopt);
        terminal.insertKittyImage(rgbaImage(20, 40), 5, std::nullopt);
        placeAt(0, 0, "a=p,i=1,p=1,C=1");
        placeAt(5, 3, "a=p,i=2,p=1,z=-1,C=1");
        placeAt(10, 5, "a=p,i=3,C=1");
        placeAt(15, 8, "a=p,i=4,p=1,U=1");
    }
    void placeAt(int64_t col, int64_t row, std::string_view command)
    {
        host.moveCursor(col, row);
        host.send(command);
    }
    KittyTerminal host;
    Terminal &terminal = host.terminal;
};

TEST(KittyDeletion, EachModeDeletesWhatItNamesOnBothStripesAndRecords)
{
    struct Case {
        std::string command;
        std::string answer;
        Ids shown;
        Ids stored;
    };
    const Ids all{1, 2, 3, 4};
    const Ids everyImage{1, 2, 3, 4, 5};
    const std::vector<Case> cases{
        {"a=d", "", {}, everyImage},
        {"a=d,d=A", "", {}, {}},
        {"a=d,d=i,i=2", "", {1, 3, 4}, everyImage},
        {"a=d,d=i,i=1,p=2", "", all, everyImage},
        {"a=d,d=I,i=2", "", {1, 3, 4}, {1, 3, 4}},
        {"a=d,d=n,I=7", "", {1, 3, 4}, everyImage},
        {"a=d,d=n,I=99", "", all, everyImage},
        {"a=D,d=c", "", {1, 3, 4}, everyImage}, // the cursor is at column 6, row 4
        {"a=d,d=p,x=6,y=4", "", {1, 3, 4}, everyImage},
        {"a=d,d=q,x=6,y=4,z=0", "", all, everyImage},
        {"a=d,d=q,x=6,y=4,z=-1", "", {1, 3, 4}, everyImage},
        {"a=d,d=x,x=11", "", {1, 2, 4}, everyImage},
        {"a=d,d=y,y=2", "", {2, 3, 4}, everyImage}, // the middle row of image 1
        {"a=d,d=y,y=9", "", {1, 2, 3}, everyImage}, // the virtual placement's row
        {"a=d,d=z,z=-1", "", {1, 3, 4}, everyImage},
        {"a=d,d=Z", "", {2}, {2}},
        {"a=d,d=r,x=3,y=1", "", {4}, everyImage},
        {"a=d,d=R,x=1,y=9223372036854775807", "", {}, {}},
        {"a=d,d=p,x=9223372036854775807,y=9223372036854775807", "", all, everyImage},
        // Errors are answered only to a command that names an image by "i" or "I".
        {"a=d,d=i", "", all, everyImage},
        {"a=d,d=i,I=5", reply("I=5;EINVAL: missing image id"), all, everyImage},
        {"a=d,d=n,i=5", reply("i=5;EINVAL: missing image number"), all, everyImage},
        {"a=d,d=p,x=0,y=3,i=5", reply("i=5;EINVAL: missing cell position"), all, everyImage},
        {"a=d,d=Q,x=3,i=5", reply("i=5;EINVAL: missing cell position"), all, everyImage},
        {"a=d,d=X,i=5", reply("i=5;EINVAL: missing column"), all, everyImage},
        {"a=d,d=y,i=5", reply("i=5;EINVAL: missing row"), all, everyImage},
        {"a=d,d=r,x=1,i=5", reply("i=5;EINVAL: missing id range"), all, everyImage},
        {"a=d,d=b,i=3", reply("i=3;EINVAL: unsupported delete"), all, everyImage},
        // An upper-case mode frees unused images even when the mode is unknown.
        {"a=d,d=B", "", all, all},
        {"a=d,d=N,I=99", "", all, all},
    };
    for (const Case &each : cases) {
        Scene scene;
        scene.host.moveCursor(6, 4);
        EXPECT_EQ(scene.host.send(each.command), each.answer) << each.command;
        EXPECT_EQ(shownImageIds(scene.terminal), each.shown) << each.command;
        EXPECT_EQ(storedImageIds(scene.terminal), each.stored) << each.command;
    }
}

TEST(KittyDeletion, APlacementHitInOneRowGoesFromEveryRow)
{
    Scene scene;
    KittyTerminal &host = scene.host;
    Terminal &terminal = scene.terminal;
    ASSERT_EQ(stripesOf(*terminal.buffer)[1].size(), 3u);
    host.send("a=d,d=y,y=3");
    EXPECT_TRUE(stripesOf(*terminal.buffer)[1].empty());
    EXPECT_EQ(host.record(1, 1), nullptr);
}

TEST(KittyDeletion, DeletingAllLeavesPlacementsScrolledOutOfView)
{
    Scene scene;
    KittyTerminal &host = scene.host;
    Terminal &terminal = scene.terminal;
    host.moveCursor(0, 9);
    host.feed("\n\n\n\n");
    host.send("a=d");
    // Image 1 (rows 0-2) is now above the screen; image 2 still shows its last row.
    EXPECT_EQ(shownImageIds(terminal), (Ids{1}));
}

TEST(KittyDeletion, TheRecordOfAPlacementWhoseStripesWentGoesToo)
{
    KittyTerminal small(20, 10, 0);
    small.terminal.insertKittyImage(rgbaImage(20, 40), 1, std::nullopt);
    small.moveCursor(0, 4);
    small.send("a=p,i=1,p=1,C=1");
    // A full ring moves the lines up under the stripes; their own labels keep the old rows while
    // the record follows, so a delete by row may meet only the stripes.
    small.moveCursor(0, 9);
    small.feed("\n\n");
    ASSERT_EQ(small.record(1, 1)->row, 2);
    small.send("a=d,d=Y,y=6");
    EXPECT_EQ(small.record(1, 1), nullptr);
    EXPECT_TRUE(storedImageIds(small.terminal).empty());
}

// MARK: Screens

TEST(KittyDeletion, TheNormalScreensPlacementsSurviveAVisitToTheAlternateScreen)
{
    Scene scene;
    KittyTerminal &host = scene.host;
    Terminal &terminal = scene.terminal;
    host.feed("\x1b[?1049h");
    // Entering the alternate screen freed the unused image 5.
    EXPECT_EQ(storedImageIds(terminal), (Ids{1, 2, 3, 4}));
    terminal.insertKittyImage(rgbaImage(20, 40), 5, std::nullopt);
    host.moveCursor(0, 0);
    host.send("a=p,i=5,p=3");
    EXPECT_TRUE(host.record(5, 3)->isAlternateBuffer);
    host.feed("\x1b[?1049l");
    EXPECT_EQ(shownImageIds(terminal), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(host.record(5, 3), nullptr);
    // Image 5 lost its only placement with the alternate screen.
    EXPECT_EQ(storedImageIds(terminal), (Ids{1, 2, 3, 4}));
}

TEST(KittyDeletion, EnteringTheAlternateScreenDropsWhatItsLastUseLeft)
{
    Scene scene;
    KittyTerminal &host = scene.host;
    Terminal &terminal = scene.terminal;
    host.feed("\x1b[?47h");
    terminal.insertKittyImage(rgbaImage(20, 40), 5, std::nullopt);
    host.moveCursor(0, 0);
    host.send("a=p,i=5,p=3,C=1");
    host.send("a=p,i=5,p=4,U=1");
    host.feed("\x1b[?47l");
    EXPECT_TRUE(stripesOf(*terminal.altBuffer).contains(5));
    EXPECT_NE(host.record(5, 4), nullptr);
    host.feed("\x1b[?47h");
    EXPECT_FALSE(stripesOf(*terminal.altBuffer).contains(5));
    EXPECT_EQ(host.record(5, 3), nullptr);
    EXPECT_EQ(host.record(5, 4), nullptr);
    EXPECT_EQ(shownImageIds(terminal), (Ids{1, 2, 3, 4}));
}

TEST(KittyDeletion, EraseInDisplayClearsTheGraphicsOfBothScreens)
{
    for (const bool fromAlternate : {false, true}) {
        Scene scene;
        scene.host.feed("\x1b[?47h");
        scene.host.send("a=p,i=1,p=9");
        if (!fromAlternate) {
            scene.host.feed("\x1b[?47l");
        }
        scene.host.feed("\x1b[2J");
        EXPECT_TRUE(shownImageIds(scene.terminal).empty());
        EXPECT_TRUE(storedImageIds(scene.terminal).empty());
        EXPECT_EQ(scene.terminal.normalBuffer->linesWithImagesCount(), 0);
        EXPECT_EQ(scene.terminal.altBuffer->linesWithImagesCount(), 0);
    }
}

} // namespace
} // namespace kestrix
