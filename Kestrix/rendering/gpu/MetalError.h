#pragma once

#include <QString>

#include <stdexcept>

namespace kestrix {

// Why the GPU renderer could not be set up. The texts are the renderer's own; the OpenGL driver's
// messages travel as payloads.
class MetalError : public std::runtime_error {
public:
    enum class Kind {
        shaderLibraryLoadFailed,
        shaderFunctionMissing,
        shaderSourceMissing,
        shaderCompilationFailed,
        pipelineCreationFailed,
        metalKitUnavailable,
        deviceUnavailable,
        commandQueueUnavailable,
        atlasUnavailable,
        shaderLibraryMissing,
        samplerUnavailable,
    };

    MetalError(Kind kind, QString payload = {});

    Kind kind() const { return kind_; }
    const QString &payload() const { return payload_; }
    QString description() const;

private:
    static QString describe(Kind kind, const QString &payload);

    Kind kind_;
    QString payload_;
};

} // namespace kestrix
