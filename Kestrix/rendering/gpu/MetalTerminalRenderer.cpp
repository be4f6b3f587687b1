#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"

#include "Kestrix/rendering/gpu/GlResources.h"
#include "Kestrix/rendering/gpu/MetalLog.h"
#include "Kestrix/rendering/gpu/MetalShaderLibrary.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLVersionFunctionsFactory>

#include <algorithm>
#include <cmath>

namespace kestrix {

GpuColor metalRgba(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return {static_cast<float>(rgb.redF()), static_cast<float>(rgb.greenF()), static_cast<float>(rgb.blueF()),
            static_cast<float>(rgb.alphaF())};
}

MetalTerminalRenderer::MetalTerminalRenderer(QObject *terminalView_, MetalSurface *metalView, Environment environment)
    : environment_(std::move(environment))
{
    if (!environment_.loadShaderSource) {
        environment_.loadShaderSource = &MetalShaderLibrary::loadShaderSource;
    }
    const std::unique_ptr<GlDeviceProbe> device = environment_.probe ? environment_.probe() : nullptr;
    if (!device) {
        throw MetalError(MetalError::Kind::deviceUnavailable);
    }
    shaderSource_ = MetalShaderLibrary::makeLibrary(environment_.loadShaderSource);
    // Building the programs once here reports a shader that does not compile or link before any widget
    // depends on it; the view's context builds its own set.
    MetalPipelines::create(device->functions(), shaderSource_);
    surfaceObject_ = metalView ? metalView->surfaceObject() : nullptr;
    terminalView = terminalView_;
    frameArrivalTimer_ = std::make_unique<QTimer>();
    frameArrivalTimer_->setSingleShot(true);
    frameArrivalTimer_->setInterval(frameArrivalTimeoutMs);
    QObject::connect(frameArrivalTimer_.get(), &QTimer::timeout, [this] { frameCompleted(); });
}

MetalSurface *MetalTerminalRenderer::view() const
{
    return dynamic_cast<MetalSurface *>(surfaceObject_.data());
}

MetalTerminalRenderer::~MetalTerminalRenderer()
{
    if (MetalSurface *surface = view()) {
        surface->detachDelegate(this);
    }
}

void MetalTerminalRenderer::initializeGL(MetalSurface &metalView)
{
    releaseResources();
    setupError_.reset();
    QOpenGLContext *context = metalView.glContext();
    QOpenGLFunctions_3_3_Core *gl = nullptr;
    if (environment_.contextFunctions) {
        gl = environment_.contextFunctions(context);
    } else if (context) {
        gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(context);
    }
    try {
        if (!gl || !gl->initializeOpenGLFunctions()) {
            throw MetalError(MetalError::Kind::deviceUnavailable);
        }
        setUp(*gl);
    } catch (const MetalError &error) {
        releaseResources();
        setupError_ = error;
        qCWarning(metalRendererLog).noquote() << error.description();
        if (onSetupFailure) {
            onSetupFailure(error);
        }
    }
}

void MetalTerminalRenderer::setUp(QOpenGLFunctions_3_3_Core &gl)
{
    gl_ = &gl;
    textureFactory_ = std::make_unique<GlTextureFactory>(gl);
    bufferFactory_ = std::make_unique<GlBufferFactory>(gl);
    bufferPool = std::make_unique<BufferPool>(*bufferFactory_);
    GLint maxTextureSize = 0;
    gl.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    grayscaleAtlas = GlyphAtlas::create(*textureFactory_, GlyphAtlasFormat::grayscale, initialAtlasSize,
                                        GlyphAtlas::maximumSize(false, maxTextureSize));
    colorAtlas = GlyphAtlas::create(*textureFactory_, GlyphAtlasFormat::bgra, initialAtlasSize,
                                    GlyphAtlas::maximumSize(true, maxTextureSize));
    if (!grayscaleAtlas || !colorAtlas) {
        throw MetalError(MetalError::Kind::atlasUnavailable);
    }
    imageTextures = std::make_unique<MetalImageTextures>(*textureFactory_, maxTextureSize);
    pipelines_ = MetalPipelines::create(gl, shaderSource_);
    GLint texels = 0;
    gl.glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &texels);
    maxTextureBufferTexels_ = texels;
}

void MetalTerminalRenderer::releaseGL(MetalSurface &)
{
    releaseResources();
}

void MetalTerminalRenderer::releaseResources()
{
    // Everything below holds GL names of the context that is current now; cached rows hold its image
    // textures and positions in its atlases.
    rowCache.clear();
    cacheSignature.reset();
    glyphCache.clear();
    customGlyphCache.clear();
    decorationStrokeCache.clear();
    imageTextures.reset();
    pipelines_.reset();
    grayscaleAtlas.reset();
    colorAtlas.reset();
    bufferPool.reset();
    bufferFactory_.reset();
    textureFactory_.reset();
    gl_ = nullptr;
}

void MetalTerminalRenderer::setClearColor(const QColor &color)
{
    clearColor_ = metalRgba(color);
}

void MetalTerminalRenderer::setFrame(FrameDrawData frame)
{
    frame_ = DrawData{std::move(frame), {}, {}, {}};
}

void MetalTerminalRenderer::setFontSmoothing(bool smoothing)
{
    if (rasterizer.fontSmoothing == smoothing) {
        return;
    }
    rasterizer.fontSmoothing = smoothing;
    glyphCache.clear();
    customGlyphCache.clear();
    decorationStrokeCache.clear();
}

void MetalTerminalRenderer::noteAtlasChange(const GlyphAtlas &atlas, int previousSize)
{
    if (atlas.didReset()) {
        glyphCache.clear();
        customGlyphCache.clear();
    decorationStrokeCache.clear();
    }
    if (atlas.didReset() || atlas.size() != previousSize) {
        atlasInvalidatedDuringBuild = true;
    }
}

void MetalTerminalRenderer::drawInMetalView(MetalSurface &metalView)
{
    QOpenGLFunctions_3_3_Core *gl = gl_;
    if (!gl || !pipelines_) {
        return;
    }
    // A frame is on its way until the widget has shown it; a hidden one never does.
    frameInFlight_ = metalView.isShown();
    if (frameInFlight_) {
        frameArrivalTimer_->start();
    }
    const double scale = frameScale(metalView);
    // The build sets the clear colour the rows rely on for cells of the default background.
    const DrawData data = buildDrawData(scale);
    const QSize drawable = metalView.drawableSize();
    gl->glViewport(0, 0, drawable.width(), drawable.height());
    gl->glDisable(GL_DEPTH_TEST);
    gl->glDisable(GL_SCISSOR_TEST);
    gl->glClearColor(clearColor_.r, clearColor_.g, clearColor_.b, clearColor_.a);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    bufferPool->frameBuffers.clear();
    // The frame is laid out at its own scale; the viewport maps it over the whole drawable.
    const double stretch = scale / std::max(metalView.backingScale(), 1e-6);
    const GpuPoint viewport = scaleFactorOverride
                                  ? GpuPoint{static_cast<float>(drawable.width() * stretch),
                                             static_cast<float>(drawable.height() * stretch)}
                                  : GpuPoint{static_cast<float>(drawable.width()), static_cast<float>(drawable.height())};
    gl->glBindVertexArray(pipelines_->vertexArray);
    encodeFrame(data.frame, viewport);
    encodeCursor(data, viewport);
    gl->glBindVertexArray(0);
    gl->glUseProgram(0);
    // GL orders a buffer's next write after the draws that read it, so the frame's buffers may be
    // reused at once.
    bufferPool->recycle(std::move(bufferPool->frameBuffers));
    bufferPool->frameBuffers.clear();
}

double MetalTerminalRenderer::frameScale(const MetalSurface &surface) const
{
    const bool usable = scaleFactorOverride && std::isfinite(*scaleFactorOverride) && *scaleFactorOverride > 0;
    return std::max(1.0, usable ? *scaleFactorOverride : surface.backingScale());
}

void MetalTerminalRenderer::encodeFrame(const FrameDrawData &frame, const GpuPoint &viewport)
{
    const MetalPipelines &p = *pipelines_;
    drawCells(p.cellColorPipeline, frame.backgroundCells, 0, viewport);
    encodeImageDraws(frame.underImageDraws, viewport);
    drawCells(p.cellTextGrayPipeline, frame.glyphCellsGray, grayscaleAtlas->texture().textureId(), viewport);
    drawCells(p.cellTextPipeline, frame.glyphCellsColor, colorAtlas->texture().textureId(), viewport);
    drawCells(p.cellColorPipeline, frame.decorationCells, 0, viewport);
    drawCells(p.cellTextGrayPipeline, frame.decorationStrokeCells, grayscaleAtlas->texture().textureId(), viewport);
    encodeImageDraws(frame.placeholderImageDraws, viewport);
    encodeImageDraws(frame.overImageDraws, viewport);
    encodeImageDraws(frame.otherImageDraws, viewport);
}

void MetalTerminalRenderer::encodeCursor(const DrawData &data, const GpuPoint &viewport)
{
    const MetalPipelines &p = *pipelines_;
    drawVertices(p.colorPipeline, data.cursorColorVertices, 0, viewport);
    drawVertices(p.textGrayPipeline, data.cursorGlyphVerticesGray, grayscaleAtlas->texture().textureId(), viewport);
    drawVertices(p.textPipeline, data.cursorGlyphVerticesColor, colorAtlas->texture().textureId(), viewport);
}

void MetalTerminalRenderer::usePipeline(const MetalPipeline &pipeline, const GpuPoint &viewport)
{
    QOpenGLFunctions_3_3_Core &gl = *gl_;
    gl.glUseProgram(pipeline.program);
    gl.glUniform2f(pipeline.viewportLocation, viewport.x, viewport.y);
    gl.glEnable(GL_BLEND);
    gl.glBlendEquation(GL_FUNC_ADD);
    gl.glBlendFuncSeparate(pipeline.premultiplied ? GL_ONE : GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                           GL_ONE_MINUS_SRC_ALPHA);
    gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::primitivesTextureUnit);
    gl.glBindTexture(GL_TEXTURE_BUFFER, pipelines_->primitivesTexture);
    gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::fragmentTextureUnit);
    gl.glBindSampler(MetalPipelines::fragmentTextureUnit, pipelines_->sampler);
}

const GpuBuffer *MetalTerminalRenderer::frameBuffer(const void *records, int64_t bytes)
{
    std::shared_ptr<GpuBuffer> buffer = bufferPool->acquire(bufferPool->bucketLength(bytes));
    if (!buffer) {
        return nullptr;
    }
    buffer->write(records, bytes);
    bufferPool->frameBuffers.push_back(buffer);
    return buffer.get();
}

template <typename Record>
void MetalTerminalRenderer::drawCells(const MetalPipeline &pipeline, const std::vector<Record> &cells,
                                      unsigned int texture, const GpuPoint &viewport)
{
    if (cells.empty()) {
        return;
    }
    QOpenGLFunctions_3_3_Core &gl = *gl_;
    constexpr size_t texelsPerCell = sizeof(Record) / 16;
    // A buffer texture holds a limited number of texels; longer lists are drawn in parts.
    const size_t perDraw = std::max<size_t>(1, static_cast<size_t>(std::max(maxTextureBufferTexels_, 1)) / texelsPerCell);
    usePipeline(pipeline, viewport);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    for (size_t first = 0; first < cells.size(); first += perDraw) {
        const size_t count = std::min(perDraw, cells.size() - first);
        const GpuBuffer *buffer = frameBuffer(cells.data() + first, static_cast<int64_t>(count * sizeof(Record)));
        if (!buffer) {
            continue;
        }
        gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::primitivesTextureUnit);
        gl.glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer->bufferId());
        gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::fragmentTextureUnit);
        gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count * 6));
    }
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

template <typename Vertex>
void MetalTerminalRenderer::drawVertices(const MetalPipeline &pipeline, const std::vector<Vertex> &vertices,
                                         unsigned int texture, const GpuPoint &viewport)
{
    if (vertices.empty()) {
        return;
    }
    const auto bytes = static_cast<int64_t>(vertices.size() * sizeof(Vertex));
    const GpuBuffer *buffer = frameBuffer(vertices.data(), bytes);
    if (!buffer) {
        return;
    }
    QOpenGLFunctions_3_3_Core &gl = *gl_;
    usePipeline(pipeline, viewport);
    gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::primitivesTextureUnit);
    gl.glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer->bufferId());
    gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::fragmentTextureUnit);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

void MetalTerminalRenderer::encodeImageDraws(const std::vector<ImageDraw> &draws, const GpuPoint &viewport)
{
    const auto drawable = [](const ImageDraw &draw) { return draw.texture && !draw.vertices.empty(); };
    if (std::none_of(draws.begin(), draws.end(), drawable)) {
        return;
    }
    QOpenGLFunctions_3_3_Core &gl = *gl_;
    usePipeline(pipelines_->textPipeline, viewport);
    for (const ImageDraw &draw : draws) {
        if (!drawable(draw)) {
            continue;
        }
        const auto bytes = static_cast<int64_t>(draw.vertices.size() * sizeof(GlyphVertex));
        const GpuBuffer *buffer = frameBuffer(draw.vertices.data(), bytes);
        if (!buffer) {
            continue;
        }
        gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::primitivesTextureUnit);
        gl.glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer->bufferId());
        gl.glActiveTexture(GL_TEXTURE0 + MetalPipelines::fragmentTextureUnit);
        gl.glBindSampler(MetalPipelines::fragmentTextureUnit,
                         draw.smooth ? pipelines_->sampler : pipelines_->nearestSampler);
        gl.glBindTexture(GL_TEXTURE_2D, draw.texture->textureId());
        gl.glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(draw.vertices.size()));
    }
    gl.glBindSampler(MetalPipelines::fragmentTextureUnit, pipelines_->sampler);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace kestrix
