#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kestrix {

// The GLSL source of the GPU renderer, built into the program as a resource. It holds seven
// functions, each a section that one shader stage is compiled from.
class MetalShaderLibrary {
public:
    static QString resourcePath();
    static const QStringList &requiredFunctions();

    // The built-in source; nothing when the resource cannot be read.
    static std::optional<QString> loadShaderSource();
    // Every required function has its section.
    static bool hasRequiredFunctions(const QString &source);
    // The source to build from: throws `MetalError` (shaderSourceMissing, shaderFunctionMissing).
    static QString makeLibrary(const std::function<std::optional<QString>()> &loadSource);
    // The text of one stage: the version line, the function's name defined, then the source.
    static QByteArray stageSource(const QString &source, const QString &function);
};

} // namespace kestrix
