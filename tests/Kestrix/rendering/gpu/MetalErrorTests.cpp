#include "Kestrix/rendering/gpu/MetalError.h"
#include "Kestrix/rendering/gpu/MetalShaderLibrary.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(MetalError, DescriptionsAreTheRenderersTexts)
{
    using Kind = MetalError::Kind;
    const std::pair<MetalError, QString> cases[] = {
        {MetalError(Kind::shaderLibraryLoadFailed, "x"), "Failed to load Metal library: x"},
        {MetalError(Kind::shaderFunctionMissing, "x"), "Metal library missing required function: x"},
        {MetalError(Kind::shaderSourceMissing, "x"), "Failed to load Metal shader source: x"},
        {MetalError(Kind::shaderCompilationFailed, "x"), "Failed to compile Metal shader source: x"},
        {MetalError(Kind::pipelineCreationFailed, "x"), "Failed to create Metal pipeline: x"},
        {MetalError(Kind::metalKitUnavailable), "MetalKit is unavailable."},
        {MetalError(Kind::deviceUnavailable), "No Metal device is available."},
        {MetalError(Kind::commandQueueUnavailable), "Failed to create Metal command queue."},
        {MetalError(Kind::atlasUnavailable), "Failed to create the glyph atlas."},
        {MetalError(Kind::shaderLibraryMissing), "Failed to locate a Metal library in bundle resources."},
        {MetalError(Kind::samplerUnavailable), "Failed to create Metal sampler state."},
    };
    for (const auto &[error, text] : cases) {
        EXPECT_EQ(error.description(), text);
        EXPECT_EQ(QString::fromStdString(error.what()), text);
    }
}

TEST(MetalShaderLibrary, BuiltInSourceHoldsEveryFunction)
{
    const std::optional<QString> source = MetalShaderLibrary::loadShaderSource();
    ASSERT_TRUE(source);
    EXPECT_TRUE(MetalShaderLibrary::hasRequiredFunctions(*source));
    EXPECT_EQ(MetalShaderLibrary::requiredFunctions().size(), 7);
    QString missing = *source;
    missing.replace(QStringLiteral("#ifdef terminal_text_fragment_gray"), QStringLiteral("#ifdef gray"));
    EXPECT_FALSE(MetalShaderLibrary::hasRequiredFunctions(missing));
    EXPECT_TRUE(MetalShaderLibrary::stageSource(*source, "terminal_text_vertex")
                    .startsWith("#version 330 core\n#define terminal_text_vertex\n"));
}

} // namespace
} // namespace kestrix
