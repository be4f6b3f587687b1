// Frame pacing, the rebuild passes of a frame build, and the cursor blink.

#include "Kestrix/rendering/gpu/MetalLog.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include <utility>

namespace kestrix {

void MetalTerminalRenderer::setFrameBuilder(FrameBuilder builder)
{
    frameBuilder_ = std::move(builder);
}

DrawData MetalTerminalRenderer::buildDrawData(double scale)
{
    const auto build = [&] { return frameBuilder_ ? frameBuilder_(scale) : frame_; };
    DrawData built;
    for (int pass = 0;; ++pass) {
        if (pass == rebuildPasses) {
            qCCritical(metalAtlasLog).noquote()
                << "glyph working set exceeds max atlas capacity; some glyphs will be skipped this frame";
            for (GlyphAtlas *atlas : {grayscaleAtlas.get(), colorAtlas.get()}) {
                if (atlas) {
                    atlas->setFrozen(true);
                }
            }
        }
        atlasInvalidatedDuringBuild = false;
        built = build();
        if (!atlasInvalidatedDuringBuild || pass >= rebuildPasses) {
            break;
        }
        // Cached rows hold texture coordinates of the atlas as it was.
        rowCache.clear();
        qCInfo(metalAtlasLog).noquote()
            << QStringLiteral("glyph atlas changed during frame build; rebuild pass %1/%2").arg(pass + 1).arg(rebuildPasses);
    }
    for (GlyphAtlas *atlas : {grayscaleAtlas.get(), colorAtlas.get()}) {
        if (atlas) {
            atlas->setFrozen(false);
        }
    }
    return built;
}

void MetalTerminalRenderer::requestRedraw()
{
    if (frameInFlight_) {
        pendingRedraw_ = true;
        return;
    }
    if (MetalSurface *surface = view()) {
        surface->setNeedsDisplay();
    }
}

void MetalTerminalRenderer::frameCompleted()
{
    frameArrivalTimer_->stop();
    frameInFlight_ = false;
    const bool owed = std::exchange(pendingRedraw_, false);
    if (MetalSurface *surface = view(); owed && surface) {
        surface->setNeedsDisplay();
    }
}

void MetalTerminalRenderer::updateCursorBlink(bool enabled)
{
    if (enabled && !cursorBlinkTimer_) {
        cursorBlinkOn = true;
        cursorBlinkTimer_ = std::make_unique<QTimer>();
        cursorBlinkTimer_->setInterval(cursorBlinkIntervalMs);
        QObject::connect(cursorBlinkTimer_.get(), &QTimer::timeout, [this] { cursorBlinkTick(); });
        cursorBlinkTimer_->start();
    } else if (!enabled && cursorBlinkTimer_) {
        cursorBlinkTimer_.reset();
        cursorBlinkOn = true;
    }
}

void MetalTerminalRenderer::cursorBlinkTick()
{
    MetalSurface *surface = view();
    if (!surface) {
        return;
    }
    cursorBlinkOn = !cursorBlinkOn;
    surface->setNeedsDisplay();
}

} // namespace kestrix
