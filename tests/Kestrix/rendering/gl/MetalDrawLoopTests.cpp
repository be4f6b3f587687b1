#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/MetalView.h"

#include "../gpu/LogCapture.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using calvero::testing::spinFor;
using calvero::testing::waitUntil;

struct ShownRenderer {
    ShownRenderer()
    {
        view.resize(80, 40);
        view.setDelegate(&renderer);
        renderer.setFrameBuilder([this](double) {
            ++builds;
            return DrawData{};
        });
    }
    ~ShownRenderer() { view.setDelegate(nullptr); }

    MetalView view;
    MetalTerminalRenderer renderer{nullptr, &view};
    int builds = 0;
};

TEST(MetalDrawLoop, AtlasChangesRebuildTheFrameAtMostFiveTimesThenFreeze)
{
    ShownRenderer shown;
    shown.view.grabFramebuffer();
    MetalTerminalRenderer &renderer = shown.renderer;
    std::vector<bool> frozenDuringBuild;
    renderer.setFrameBuilder([&](double) {
        frozenDuringBuild.push_back(renderer.grayscaleAtlas->frozen() && renderer.colorAtlas->frozen());
        renderer.atlasInvalidatedDuringBuild = true;
        return DrawData{};
    });
    LogCapture log("MetalAtlas");
    renderer.buildDrawData(1);
    EXPECT_EQ(frozenDuringBuild, (std::vector<bool>{false, false, false, false, false, true}));
    EXPECT_FALSE(renderer.grayscaleAtlas->frozen());
    EXPECT_FALSE(renderer.colorAtlas->frozen());
    ASSERT_EQ(log.messages.size(), 6u);
    for (int pass = 1; pass <= 5; ++pass) {
        EXPECT_EQ(log.messages[static_cast<size_t>(pass - 1)].text,
                  QStringLiteral("glyph atlas changed during frame build; rebuild pass %1/5").arg(pass));
        EXPECT_EQ(log.messages[static_cast<size_t>(pass - 1)].type, QtInfoMsg);
    }
    EXPECT_EQ(log.messages[5].text, "glyph working set exceeds max atlas capacity; some glyphs will be skipped this frame");
    EXPECT_EQ(log.messages[5].type, QtCriticalMsg);

    int builds = 0;
    renderer.setFrameBuilder([&](double) {
        renderer.atlasInvalidatedDuringBuild = ++builds == 1;
        return DrawData{};
    });
    renderer.buildDrawData(1);
    EXPECT_EQ(builds, 2);
}

TEST(MetalDrawLoop, RequestsWhileAFrameIsOnItsWayBecomeOneFrame)
{
    ShownRenderer shown;
    shown.view.show();
    ASSERT_TRUE(waitUntil([&] { return shown.builds > 0 && !shown.renderer.frameInFlight(); }));
    const int before = shown.builds;
    shown.renderer.requestRedraw();
    ASSERT_TRUE(waitUntil([&] { return shown.builds == before + 1; }));
    if (shown.renderer.frameInFlight()) {
        for (int i = 0; i < 5; ++i) {
            shown.renderer.requestRedraw();
        }
        EXPECT_EQ(shown.builds, before + 1);
    }
    ASSERT_TRUE(waitUntil([&] { return !shown.renderer.frameInFlight(); }));
    spinFor(300);
    EXPECT_LE(shown.builds, before + 2);
}

TEST(MetalDrawLoop, AFrameThatNeverArrivesDoesNotBlockRedraws)
{
    ShownRenderer shown;
    shown.view.show();
    ASSERT_TRUE(waitUntil([&] { return shown.builds > 0 && !shown.renderer.frameInFlight(); }));
    // Drawn outside the widget's own paint, the frame is never swapped onto the screen.
    shown.view.makeCurrent();
    shown.renderer.drawInMetalView(shown.view);
    shown.view.doneCurrent();
    ASSERT_TRUE(shown.renderer.frameInFlight());
    const int before = shown.builds;
    shown.renderer.requestRedraw();
    ASSERT_TRUE(waitUntil([&] { return shown.builds > before; }, 2000));
    EXPECT_TRUE(waitUntil([&] { return !shown.renderer.frameInFlight(); }, 2000));

    // A hidden view never has a frame on its way.
    shown.view.hide();
    shown.view.grabFramebuffer();
    EXPECT_FALSE(shown.renderer.frameInFlight());
}

TEST(MetalDrawLoop, CursorBlinkRunsOnlyWhileEnabledAndRestsOn)
{
    ShownRenderer shown;
    MetalTerminalRenderer &renderer = shown.renderer;
    EXPECT_FALSE(renderer.hasCursorBlinkTimer());
    EXPECT_TRUE(renderer.cursorBlinkOn);
    renderer.updateCursorBlink(true);
    EXPECT_TRUE(renderer.hasCursorBlinkTimer());
    EXPECT_TRUE(renderer.cursorBlinkOn);
    renderer.cursorBlinkTick();
    EXPECT_FALSE(renderer.cursorBlinkOn);
    renderer.updateCursorBlink(true);
    EXPECT_FALSE(renderer.cursorBlinkOn);
    renderer.updateCursorBlink(false);
    EXPECT_FALSE(renderer.hasCursorBlinkTimer());
    EXPECT_TRUE(renderer.cursorBlinkOn);
}

} // namespace
} // namespace kestrix
