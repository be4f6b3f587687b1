#pragma once

#include "Kestrix/rendering/CellTextPainter.h"
#include "Kestrix/rendering/DecorationStroke.h"
#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/gpu/BufferPool.h"
#include "Kestrix/rendering/gpu/CoreTextGlyphRasterizer.h"
#include "Kestrix/rendering/gpu/GlDeviceProbe.h"
#include "Kestrix/rendering/gpu/GlyphAtlas.h"
#include "Kestrix/rendering/gpu/GlyphEntry.h"
#include "Kestrix/rendering/gpu/MetalCursorDrawData.h"
#include "Kestrix/rendering/gpu/MetalDrawData.h"
#include "Kestrix/rendering/gpu/GpuCacheKeys.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"
#include "Kestrix/rendering/gpu/MetalError.h"
#include "Kestrix/rendering/gpu/MetalFrameSource.h"
#include "Kestrix/rendering/gpu/MetalImageTextures.h"
#include "Kestrix/rendering/gpu/MetalPipelines.h"
#include "Kestrix/rendering/gpu/MetalSurface.h"
#include "Kestrix/rendering/gpu/ShaperCache.h"

#include <QColor>
#include <QPointer>
#include <QRawFont>
#include <QTimer>
#include <QTransform>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QOpenGLContext;
class QOpenGLFunctions_3_3_Core;

namespace kestrix {

// Where the GPU renderer finds its GPU and its shaders; tests replace either.
struct MetalRendererEnvironment {
    std::function<std::unique_ptr<GlDeviceProbe>()> probe = &GlDeviceProbe::create;
    // The built-in source when not set.
    std::function<std::optional<QString>()> loadShaderSource;
    // The 3.3 core functions of the view's own context; nothing when it has none. Qt's when not set.
    std::function<QOpenGLFunctions_3_3_Core *(QOpenGLContext *)> contextFunctions;
};

// Where one row sits and what its frame looks like, in points unless named pixels.
struct MetalRowGeometry {
    int64_t screenRow = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    // The normal font's baseline height above the bottom of a cell.
    double baselineOffset = 0;
    double viewWidth = 0;
    double viewHeight = 0;
    double scale = 1;
    int64_t cols = 0;
    QColor nativeBackground;
    QColor nativeForeground;
    // The normal font's underline thickness (which box strokes grow from) and how far its underline
    // lies below the baseline.
    double underlineThickness = 1;
    double underlinePosition = 1;
    bool antiAliasBlockGlyphs = true;
    // Double width doubles the row across; double height also draws it twice as tall about the row's
    // top (upper half) or bottom (lower half), showing only what falls inside the row.
    LineRenderMode renderMode = LineRenderMode::single;
    // Device pixels per point of the window, which Kitty pixel offsets are divided by.
    double backingScale = 1;
    // The frame's virtual Kitty placements, which placeholder cells show slices of, and the Kitty
    // images they show.
    const MetalVirtualPlacements *virtualPlacements = nullptr;
    const KittyGraphicsState *kittyState = nullptr;
};

// The GPU renderer of one terminal view, drawn with OpenGL 3.3 core into its `MetalView`. Construction
// proves that a 3.3 core context can be made and that the built-in shaders compile and link, so a
// caller learns of a failure at once; the view's own context then gets the atlases, programs and
// buffers when it is initialised.
class MetalTerminalRenderer final : public MetalSurfaceDelegate {
public:
    using ShaperCache = kestrix::ShaperCache;
    using BufferPool = kestrix::BufferPool;

    using Environment = MetalRendererEnvironment;

    static constexpr int initialAtlasSize = 1024;

    // Throws `MetalError`. Does not make itself the view's delegate; the caller does.
    MetalTerminalRenderer(QObject *terminalView, MetalSurface *metalView, Environment environment = {});
    ~MetalTerminalRenderer() override;
    MetalTerminalRenderer(const MetalTerminalRenderer &) = delete;
    MetalTerminalRenderer &operator=(const MetalTerminalRenderer &) = delete;

    void initializeGL(MetalSurface &surface) override;
    void drawInMetalView(MetalSurface &surface) override;
    void releaseGL(MetalSurface &surface) override;

    // Builds what a frame shows at a scale; it may place glyphs, and so reset or grow the atlases.
    using FrameBuilder = std::function<DrawData(double scale)>;

    // The background, and what the frames show: a builder, or else one fixed frame.
    void setClearColor(const QColor &color);
    void setFrame(FrameDrawData frame);
    void setFrameBuilder(FrameBuilder builder);

    static constexpr int rebuildPasses = 5;
    // Builds the frame, again while a build changed an atlas (its glyph positions went stale), at most
    // five times more; the last build runs with frozen atlases, which skip what does not fit.
    DrawData buildDrawData(double scale);

    // The visible lines of the terminal's active buffer as a frame at a scale, with the cursor. A row
    // is drawn anew only when its line changed (another line at its index, or a new generation), lies
    // in the source's dirty lines, or anything every row depends on changed (the cache signature:
    // scale, cell and view size, scroll position, grid, font, active buffer, Kitty images and
    // placements, the view's appearance); otherwise its cached lists are reused.
    DrawData buildFrameDrawData(double scale, const MetalFrameSource &source);
    std::unordered_map<int64_t, RowCacheEntry> rowCache;
    std::optional<CacheSignature> cacheSignature;
    FrameBuildStats lastFrameStats;

    // Asks for a frame. While one is on its way to the screen the request is remembered, and all such
    // requests are answered by one frame when it arrives.
    void requestRedraw();
    bool frameInFlight() const { return frameInFlight_; }
    // The screen has the frame; also called when it cannot arrive (a hidden view never shows it).
    void frameCompleted() override;
    static constexpr int frameArrivalTimeoutMs = 250;

    static constexpr int cursorBlinkIntervalMs = 700;
    // A blinking cursor toggles `cursorBlinkOn` every 0.7 s while enabled; disabled, it stays on.
    void updateCursorBlink(bool enabled);
    void cursorBlinkTick();
    bool cursorBlinkOn = true;
    bool hasCursorBlinkTimer() const { return cursorBlinkTimer_ != nullptr; }

    // A glyph of a font already at device pixels, placed in its atlas on first use. Nothing for a glyph
    // without ink or one that does not fit (a frozen, full atlas); a miss is not remembered.
    // A glyph drawn stretched (the device scale, double-width and double-height lines) has entries of
    // its own.
    std::optional<GlyphEntry> glyphEntry(quint32 glyph, const QRawFont &font, double stretchX = 1,
                                         double stretchY = 1);
    // A box-drawing (U+2500...U+257F) or block-element (U+2580...U+259F) cell of this pixel size, drawn
    // in white into the grayscale atlas on first use.
    std::optional<CustomGlyphEntry> customGlyphEntry(uint32_t codePoint, int widthPx, int heightPx,
                                                     int baseThicknessPx, bool antiAlias, double scale,
                                                     int stretchX = 1, int stretchY = 1);
    // A decoration stroke as the QPainter path rasterizes it through `toDevice` (its row's transform
    // and the device scale), drawn in white into the grayscale atlas on first use; with the device
    // pixel its bitmap's top-left corner goes to.
    std::optional<PlacedStroke> decorationStrokeEntry(const DecorationStroke &stroke, const QTransform &toDevice);
    // The font at its pixel size times the scale, made once per font and size.
    QRawFont scaledFont(const QRawFont &font, double scale);
    // What tells fonts apart in the glyph keys.
    static QString fontName(const QRawFont &font);

    // One row of the screen as GPU cells: backgrounds, glyphs where the QPainter path's layout puts
    // them, box and block glyphs, and the QPainter path's underline and strikethrough strokes as bars.
    RowDrawData buildRowDrawData(const RowSegments &row, const MetalRowGeometry &geometry, CellTextPainter &text);
    // The row's own images (under the text, over it, and from other protocols) and the slices of
    // Kitty images its placeholder cells show.
    void appendRowImages(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry);
    void appendRowPlaceholders(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry);
    // At the start of every frame build: forgets textures of Kitty images the terminal no longer has.
    void pruneKittyTextureCache(const Terminal *terminal);
    // The character under a focused block cursor, in the caret's text colour (a colour glyph in its
    // own colours), cut to the cursor's rectangle.
    void appendCursorText(DrawData &data, const MetalCursorRect &rect, const MetalCaretState &caret, int64_t columns,
                          const MetalRowGeometry &geometry, CellTextPainter &text);
    // A quad showing an atlas region, its texture rectangle normalised by the atlas's current size.
    static TextCell atlasCell(const GlyphAtlas &atlas, const AtlasRegion &region, GpuPoint position,
                              const GpuColor &color);

    // The scale frames are built at instead of the surface's; the frame is stretched over the drawable.
    std::optional<double> scaleFactorOverride;
    // The override when it is a usable number, else the surface's, and never below 1.
    double frameScale(const MetalSurface &surface) const;

    // Glyph bitmaps depend on smoothing while their key does not, so a change empties the glyph caches.
    void setFontSmoothing(bool smoothing);

    // After an allocation in one of the atlases: a reset drops every cached glyph position, and a reset
    // or growth makes the frame being built stale.
    void noteAtlasChange(const GlyphAtlas &atlas, int previousSize);
    // Finds room for the bitmap in the atlas (noting a growth or reset) and uploads it there.
    std::optional<AtlasRegion> placeInAtlas(GlyphAtlas &atlas, const GlyphBitmap &bitmap);

    // Called when set-up in the view's own context fails; the renderer then draws nothing.
    std::function<void(const MetalError &)> onSetupFailure;
    const std::optional<MetalError> &setupError() const { return setupError_; }
    bool isReady() const { return pipelines_ != nullptr; }

    QPointer<QObject> terminalView;
    // The surface drawn into, or nothing once it has gone.
    MetalSurface *view() const;
    ShaperCache shaperCache;
    CoreTextGlyphRasterizer rasterizer;
    std::unique_ptr<BufferPool> bufferPool;
    std::unique_ptr<GlyphAtlas> grayscaleAtlas;
    std::unique_ptr<GlyphAtlas> colorAtlas;
    std::unordered_map<GlyphKey, GlyphEntry> glyphCache;
    std::unordered_map<GlyphKey, QRawFont> scaledFontCache;
    std::unordered_map<CustomGlyphKey, CustomGlyphEntry> customGlyphCache;
    std::unordered_map<DecorationStrokeKey, CustomGlyphEntry> decorationStrokeCache;
    // Textures of the images shown, in the view's context; nothing while it has none.
    std::unique_ptr<MetalImageTextures> imageTextures;
    bool atlasInvalidatedDuringBuild = false;

private:
    struct PlacedCell {
        TextCell cell;
        bool colour = false;
    };
    // A glyph of the QPainter path's layout as a quad of its atlas, in the row's render mode.
    std::optional<PlacedCell> placedGlyphCell(const CellTextPainter::PlacedGlyph &placed, const MetalRowGeometry &g,
                                              const GpuColor &ink);
    void setUp(QOpenGLFunctions_3_3_Core &gl);
    void releaseResources();
    void appendRowBackgrounds(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry);
    void appendRowGlyphs(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry,
                         CellTextPainter &text);
    void appendRowCustomGlyphs(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry);
    void appendRowDecorations(RowDrawData &data, const RowSegments &row, const MetalRowGeometry &geometry);
    void appendDecorationStroke(RowDrawData &data, const DecorationStroke &stroke, const MetalRowGeometry &geometry,
                                const GpuColor &color);
    void appendCursor(DrawData &draw, const MetalFrameSource &source, LineIndexRange visible,
                      MetalRowGeometry geometry);
    void encodeFrame(const FrameDrawData &frame, const GpuPoint &viewport);
    void encodeCursor(const DrawData &data, const GpuPoint &viewport);
    template <typename Vertex>
    void drawVertices(const MetalPipeline &pipeline, const std::vector<Vertex> &vertices, unsigned int texture,
                      const GpuPoint &viewport);
    template <typename Record>
    void drawCells(const MetalPipeline &pipeline, const std::vector<Record> &cells, unsigned int texture,
                   const GpuPoint &viewport);
    void encodeImageDraws(const std::vector<ImageDraw> &draws, const GpuPoint &viewport);
    void usePipeline(const MetalPipeline &pipeline, const GpuPoint &viewport);
    // Copies records into a pooled buffer that the next draw reads; nothing when none is to be had.
    const GpuBuffer *frameBuffer(const void *records, int64_t bytes);

    Environment environment_;
    QPointer<QObject> surfaceObject_;
    QString shaderSource_;
    QOpenGLFunctions_3_3_Core *gl_ = nullptr;
    std::unique_ptr<GpuTextureFactory> textureFactory_;
    std::unique_ptr<GpuBufferFactory> bufferFactory_;
    std::unique_ptr<MetalPipelines> pipelines_;
    int maxTextureBufferTexels_ = 0;
    std::optional<MetalError> setupError_;
    GpuColor clearColor_{0, 0, 0, 1};
    DrawData frame_;
    FrameBuilder frameBuilder_;
    bool frameInFlight_ = false;
    bool pendingRedraw_ = false;
    std::unique_ptr<QTimer> frameArrivalTimer_;
    std::unique_ptr<QTimer> cursorBlinkTimer_;
};

// A colour as the renderer's four floats, in sRGB.
GpuColor metalRgba(const QColor &color);

} // namespace kestrix
