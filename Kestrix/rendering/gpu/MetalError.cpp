#include "Kestrix/rendering/gpu/MetalError.h"

namespace kestrix {

MetalError::MetalError(Kind kind, QString payload)
    : std::runtime_error(describe(kind, payload).toStdString()), kind_(kind), payload_(std::move(payload))
{
}

QString MetalError::description() const
{
    return describe(kind_, payload_);
}

QString MetalError::describe(Kind kind, const QString &payload)
{
    switch (kind) {
    case Kind::shaderLibraryLoadFailed:
        return QStringLiteral("Failed to load Metal library: ") + payload;
    case Kind::shaderFunctionMissing:
        return QStringLiteral("Metal library missing required function: ") + payload;
    case Kind::shaderSourceMissing:
        return QStringLiteral("Failed to load Metal shader source: ") + payload;
    case Kind::shaderCompilationFailed:
        return QStringLiteral("Failed to compile Metal shader source: ") + payload;
    case Kind::pipelineCreationFailed:
        return QStringLiteral("Failed to create Metal pipeline: ") + payload;
    case Kind::metalKitUnavailable:
        return QStringLiteral("MetalKit is unavailable.");
    case Kind::deviceUnavailable:
        return QStringLiteral("No Metal device is available.");
    case Kind::commandQueueUnavailable:
        return QStringLiteral("Failed to create Metal command queue.");
    case Kind::atlasUnavailable:
        return QStringLiteral("Failed to create the glyph atlas.");
    case Kind::shaderLibraryMissing:
        return QStringLiteral("Failed to locate a Metal library in bundle resources.");
    case Kind::samplerUnavailable:
        return QStringLiteral("Failed to create Metal sampler state.");
    }
    return {};
}

} // namespace kestrix
