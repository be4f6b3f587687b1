#include "Kestrix/rendering/gpu/GlResources.h"
#include "Kestrix/rendering/gpu/MetalShaderLibrary.h"
#include "Kestrix/rendering/gpu/MetalTerminalRenderer.h"
#include "Kestrix/view/MetalView.h"

#include <QImage>
#include <QOpenGLFunctions_3_3_Core>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

QString builtInSource()
{
    return *MetalShaderLibrary::loadShaderSource();
}

MetalTerminalRenderer::Environment withSource(QString source)
{
    MetalTerminalRenderer::Environment environment;
    environment.loadShaderSource = [source] { return std::optional<QString>(source); };
    return environment;
}

MetalError constructionError(MetalTerminalRenderer::Environment environment)
{
    MetalView view;
    try {
        MetalTerminalRenderer renderer(nullptr, &view, std::move(environment));
    } catch (const MetalError &error) {
        return error;
    }
    ADD_FAILURE() << "construction succeeded";
    return MetalError(MetalError::Kind::metalKitUnavailable);
}

int largestChannelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

TEST(GlDeviceProbe, MakesACoreContextAndReadsTheTextureLimit)
{
    const std::unique_ptr<GlDeviceProbe> probe = GlDeviceProbe::create();
    ASSERT_TRUE(probe);
    EXPECT_GE(probe->maxTextureSize(), 1024);
    EXPECT_TRUE(QOpenGLContext::currentContext());
}

TEST(GlTexture, RegionsGoUpRowByRowFromALargerCopy)
{
    const std::unique_ptr<GlDeviceProbe> probe = GlDeviceProbe::create();
    ASSERT_TRUE(probe);
    QOpenGLFunctions_3_3_Core &gl = probe->functions();
    GlTextureFactory factory(gl);
    std::unique_ptr<GpuTexture> texture = factory.makeTexture(8, 4, GpuPixelFormat::bgra8);
    ASSERT_TRUE(texture);
    EXPECT_FALSE(factory.makeTexture(probe->maxTextureSize() + 1, 4, GpuPixelFormat::r8));

    // A 2 × 2 piece of a copy 5 pixels wide, placed at (3, 1).
    std::vector<uint8_t> copy(5 * 3 * 4, 0);
    for (size_t i = 0; i < copy.size(); ++i) {
        copy[i] = static_cast<uint8_t>(i);
    }
    texture->replaceRegion(3, 1, 2, 2, copy.data() + (5 + 1) * 4, 5 * 4);
    std::vector<uint8_t> read(8 * 4 * 4, 0xFF);
    gl.glBindTexture(GL_TEXTURE_2D, texture->textureId());
    gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, read.data());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            for (int byte = 0; byte < 4; ++byte) {
                EXPECT_EQ(read[static_cast<size_t>(((1 + y) * 8 + 3 + x) * 4 + byte)],
                          copy[static_cast<size_t>(((1 + y) * 5 + 1 + x) * 4 + byte)]);
            }
        }
    }
    texture.reset();
}

TEST(MetalTerminalRenderer, DrawsColourCellsAsQPainterFillsThem)
{
    MetalView view;
    view.resize(200, 100);
    MetalTerminalRenderer renderer(nullptr, &view);
    view.setDelegate(&renderer);
    const QColor background(30, 40, 50);
    renderer.setClearColor(background);
    // Cells in y-up pixels from the lower-left corner; the same rectangles y-down for QPainter.
    struct Fill {
        QRect rect;
        QColor color;
    };
    const std::vector<Fill> fills = {
        {QRect(0, 0, 200, 16), QColor(200, 10, 10)},
        {QRect(8, 16, 16, 16), QColor(10, 200, 10)},
        {QRect(192, 84, 8, 16), QColor(250, 250, 250)},
        {QRect(40, 50, 80, 30), QColor(0, 0, 255, 128)},
    };
    std::vector<ColorCell> cells;
    QImage expected(200, 100, QImage::Format_ARGB32_Premultiplied);
    expected.fill(background);
    QPainter painter(&expected);
    for (const Fill &fill : fills) {
        const QRect &r = fill.rect;
        cells.push_back({{static_cast<float>(r.x()), static_cast<float>(100 - r.y() - r.height())},
                         {static_cast<float>(r.width()), static_cast<float>(r.height())},
                         metalRgba(fill.color)});
        painter.fillRect(r, fill.color);
    }
    painter.end();
    FrameDrawData frame;
    frame.backgroundCells = cells;
    renderer.setFrame(std::move(frame));

    const QImage drawn = view.grabFramebuffer().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_TRUE(renderer.isReady()) << (renderer.setupError() ? renderer.setupError()->description().toStdString() : "");
    ASSERT_EQ(drawn.size(), expected.size());
    int worst = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            worst = std::max(worst, largestChannelDifference(drawn.pixel(x, y), expected.pixel(x, y)));
        }
    }
    // Opaque fills agree exactly; the half-transparent one may round differently by one step.
    EXPECT_LE(worst, 1);
    EXPECT_EQ(drawn.pixel(10, 90), expected.pixel(10, 90));
    EXPECT_EQ(drawn.pixel(10, 75), expected.pixel(10, 75));
    EXPECT_EQ(drawn.pixel(100, 40), expected.pixel(100, 40)) << "background";
}

TEST(MetalTerminalRenderer, AtlasesAreMadeInTheViewsContextWithinTheTextureLimit)
{
    MetalView view;
    view.resize(50, 50);
    MetalTerminalRenderer renderer(nullptr, &view);
    view.setDelegate(&renderer);
    view.grabFramebuffer();
    ASSERT_TRUE(renderer.isReady());
    ASSERT_TRUE(renderer.grayscaleAtlas && renderer.colorAtlas);
    EXPECT_EQ(renderer.grayscaleAtlas->size(), 1024);
    EXPECT_EQ(renderer.colorAtlas->format(), GlyphAtlasFormat::bgra);
    const std::unique_ptr<GlDeviceProbe> probe = GlDeviceProbe::create();
    EXPECT_LE(renderer.grayscaleAtlas->maxSize(), probe->maxTextureSize());
    EXPECT_LE(renderer.colorAtlas->maxSize(), probe->maxTextureSize());
}

TEST(MetalTerminalRenderer, ProbeThatFindsNoDeviceFailsConstruction)
{
    MetalTerminalRenderer::Environment environment;
    environment.probe = [] { return std::unique_ptr<GlDeviceProbe>(); };
    const MetalError error = constructionError(environment);
    EXPECT_EQ(error.kind(), MetalError::Kind::deviceUnavailable);
    EXPECT_EQ(error.description(), "No Metal device is available.");
}

TEST(MetalTerminalRenderer, ShaderThatDoesNotLinkFailsPipelineCreation)
{
    QString source = builtInSource();
    // The colour fragment reads the colour as another type than the vertex functions write it.
    const QString colourFragment = QStringLiteral("in vec4 color;\nout vec4 fragColor;\nvoid main()\n{\n    fragColor = color;");
    ASSERT_TRUE(source.contains(colourFragment));
    source.replace(colourFragment, QStringLiteral("in vec3 color;\nout vec4 fragColor;\nvoid main()\n{\n    fragColor = vec4(color, 1.0);"));
    const MetalError error = constructionError(withSource(source));
    EXPECT_EQ(error.kind(), MetalError::Kind::pipelineCreationFailed);
    EXPECT_EQ(error.description(), "Failed to create Metal pipeline: text/color/cell");
}

TEST(MetalTerminalRenderer, ShaderSourceFaultsAreReportedByKind)
{
    MetalTerminalRenderer::Environment missing;
    missing.loadShaderSource = [] { return std::optional<QString>(); };
    const MetalError noSource = constructionError(missing);
    EXPECT_EQ(noSource.kind(), MetalError::Kind::shaderSourceMissing);
    EXPECT_EQ(noSource.description(), "Failed to load Metal shader source: :/kestrix/gpu/Shaders.glsl");

    QString withoutFunction = builtInSource();
    withoutFunction.replace(QStringLiteral("#ifdef terminal_color_fragment"), QStringLiteral("#ifdef unused"));
    const MetalError noFunction = constructionError(withSource(withoutFunction));
    EXPECT_EQ(noFunction.kind(), MetalError::Kind::shaderFunctionMissing);
    EXPECT_EQ(noFunction.description(),
              "Metal library missing required function: terminal_text_vertex, terminal_cell_text_vertex, "
              "terminal_text_fragment, terminal_text_fragment_gray, terminal_color_vertex, "
              "terminal_cell_color_vertex, terminal_color_fragment");

    QString broken = builtInSource();
    broken.replace(QStringLiteral("fragColor = color;"), QStringLiteral("fragColor = colour;"));
    const MetalError compileError = constructionError(withSource(broken));
    EXPECT_EQ(compileError.kind(), MetalError::Kind::shaderCompilationFailed);
    EXPECT_TRUE(compileError.description().startsWith("Failed to compile Metal shader source: terminal_color_fragment: "))
        << compileError.description().toStdString();
}

TEST(MetalTerminalRenderer, FontSmoothingChangeEmptiesTheGlyphCaches)
{
    MetalView view;
    MetalTerminalRenderer renderer(nullptr, &view);
    renderer.glyphCache[GlyphKey{"Mono", 13, 1}] = GlyphEntry{};
    renderer.customGlyphCache[CustomGlyphKey{0x2500, 8, 16, 1, 1, true}] = CustomGlyphEntry{};
    renderer.setFontSmoothing(true);
    EXPECT_EQ(renderer.glyphCache.size(), 1u);
    renderer.setFontSmoothing(false);
    EXPECT_TRUE(renderer.glyphCache.empty());
    EXPECT_TRUE(renderer.customGlyphCache.empty());
    EXPECT_FALSE(renderer.rasterizer.fontSmoothing);
}

} // namespace
} // namespace kestrix
