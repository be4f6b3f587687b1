#pragma once

#include "Kestrix/rendering/gpu/BufferPool.h"
#include "Kestrix/rendering/gpu/CoreTextGlyphRasterizer.h"
#include "Kestrix/rendering/gpu/GlDeviceProbe.h"
#include "Kestrix/rendering/gpu/GlyphAtlas.h"
#include "Kestrix/rendering/gpu/GlyphEntry.h"
#include "Kestrix/rendering/gpu/GpuCacheKeys.h"
#include "Kestrix/rendering/gpu/GpuRecords.h"
#include "Kestrix/rendering/gpu/MetalError.h"
#include "Kestrix/rendering/gpu/MetalPipelines.h"
#include "Kestrix/rendering/gpu/MetalView.h"
#include "Kestrix/rendering/gpu/ShaperCache.h"

#include <QColor>
#include <QPointer>
#include <QRawFont>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QOpenGLFunctions_3_3_Core;

namespace kestrix {

// Where the GPU renderer finds its GPU and its shaders; tests replace either.
struct MetalRendererEnvironment {
    std::function<std::unique_ptr<GlDeviceProbe>()> probe = &GlDeviceProbe::create;
    // The built-in source when not set.
    std::function<std::optional<QString>()> loadShaderSource;
};

// The GPU renderer of one terminal view, drawn with OpenGL 3.3 core into a `MetalView`. Construction
// proves that a 3.3 core context can be made and that the built-in shaders compile and link, so a
// caller learns of a failure at once; the view's own context then gets the atlases, programs and
// buffers when it is initialised.
class MetalTerminalRenderer final : public MetalViewDelegate {
public:
    using ShaperCache = kestrix::ShaperCache;
    using BufferPool = kestrix::BufferPool;

    using Environment = MetalRendererEnvironment;

    static constexpr int initialAtlasSize = 1024;

    // Throws `MetalError`. Does not make itself the view's delegate; the caller does.
    MetalTerminalRenderer(QWidget *terminalView, MetalView *metalView, Environment environment = {});
    ~MetalTerminalRenderer() override;
    MetalTerminalRenderer(const MetalTerminalRenderer &) = delete;
    MetalTerminalRenderer &operator=(const MetalTerminalRenderer &) = delete;

    void initializeGL(MetalView &view) override;
    void drawInMetalView(MetalView &view) override;
    void releaseGL(MetalView &view) override;

    // What a frame shows until rows are drawn: the background and a list of coloured cells.
    void setClearColor(const QColor &color);
    void setColorCells(std::vector<ColorCell> cells);

    // Glyph bitmaps depend on smoothing while their key does not, so a change empties the glyph caches.
    void setFontSmoothing(bool smoothing);

    // After an allocation in one of the atlases: a reset drops every cached glyph position, and a reset
    // or growth makes the frame being built stale.
    void noteAtlasChange(const GlyphAtlas &atlas, int previousSize);

    // Called when set-up in the view's own context fails; the renderer then draws nothing.
    std::function<void(const MetalError &)> onSetupFailure;
    const std::optional<MetalError> &setupError() const { return setupError_; }
    bool isReady() const { return pipelines_ != nullptr; }

    QPointer<QWidget> terminalView;
    QPointer<MetalView> view;
    ShaperCache shaperCache;
    CoreTextGlyphRasterizer rasterizer;
    std::unique_ptr<BufferPool> bufferPool;
    std::unique_ptr<GlyphAtlas> grayscaleAtlas;
    std::unique_ptr<GlyphAtlas> colorAtlas;
    std::unordered_map<GlyphKey, GlyphEntry> glyphCache;
    std::unordered_map<GlyphKey, QRawFont> scaledFontCache;
    std::unordered_map<CustomGlyphKey, CustomGlyphEntry> customGlyphCache;
    bool atlasInvalidatedDuringBuild = false;

private:
    void setUp(QOpenGLFunctions_3_3_Core &gl);
    void releaseResources();
    void drawColorCells(const MetalPipeline &pipeline, const std::vector<ColorCell> &cells, const GpuPoint &viewport);

    Environment environment_;
    QString shaderSource_;
    QOpenGLFunctions_3_3_Core *gl_ = nullptr;
    std::unique_ptr<GpuTextureFactory> textureFactory_;
    std::unique_ptr<GpuBufferFactory> bufferFactory_;
    std::unique_ptr<MetalPipelines> pipelines_;
    int maxTextureBufferTexels_ = 0;
    std::optional<MetalError> setupError_;
    GpuColor clearColor_{0, 0, 0, 1};
    std::vector<ColorCell> colorCells_;
};

// A colour as the renderer's four floats, in sRGB.
GpuColor metalRgba(const QColor &color);

} // namespace kestrix
