#pragma once

#include <QString>

#include <memory>

class QOpenGLFunctions_3_3_Core;

namespace kestrix {

// One linked program and how its output blends: premultiplied (source factor one) or straight alpha.
struct MetalPipeline {
    unsigned int program = 0;
    bool premultiplied = true;
    int viewportLocation = -1;
    int primitivesLocation = -1;
    int atlasLocation = -1;
};

// The six programs of the GPU renderer, the samplers its fragment textures are read through, and the
// buffer texture and empty vertex array every draw uses, in the GL context current at creation. It
// must be destroyed while that context is current.
class MetalPipelines {
public:
    // Texture unit of the atlas or image a fragment function samples, and of the primitives.
    static constexpr int fragmentTextureUnit = 0;
    static constexpr int primitivesTextureUnit = 1;

    // Throws `MetalError`: shaderCompilationFailed with the driver's log, pipelineCreationFailed when a
    // program does not link, samplerUnavailable.
    static std::unique_ptr<MetalPipelines> create(QOpenGLFunctions_3_3_Core &gl, const QString &source);
    ~MetalPipelines();
    MetalPipelines(const MetalPipelines &) = delete;
    MetalPipelines &operator=(const MetalPipelines &) = delete;

    MetalPipeline textPipeline;
    MetalPipeline textGrayPipeline;
    MetalPipeline colorPipeline;
    MetalPipeline cellTextPipeline;
    MetalPipeline cellTextGrayPipeline;
    MetalPipeline cellColorPipeline;
    // Linear and clamped to the edge; the nearest sampler reads the closest texel instead.
    unsigned int sampler = 0;
    unsigned int nearestSampler = 0;
    unsigned int primitivesTexture = 0;
    unsigned int vertexArray = 0;

private:
    explicit MetalPipelines(QOpenGLFunctions_3_3_Core &gl) : gl_(gl) {}

    QOpenGLFunctions_3_3_Core &gl_;
    unsigned int shaders_[7] = {};
};

} // namespace kestrix
