#include "Kestrix/rendering/gpu/MetalShaderLibrary.h"

#include "Kestrix/rendering/gpu/MetalError.h"

#include <QFile>
#include <QRegularExpression>

static void initGpuResources()
{
    // The resource lives in a static library; it must be registered by name.
    Q_INIT_RESOURCE(gpu);
}

namespace kestrix {

QString MetalShaderLibrary::resourcePath()
{
    return QStringLiteral(":/kestrix/gpu/Shaders.glsl");
}

const QStringList &MetalShaderLibrary::requiredFunctions()
{
    static const QStringList names = {
        QStringLiteral("terminal_text_vertex"),    QStringLiteral("terminal_cell_text_vertex"),
        QStringLiteral("terminal_text_fragment"),  QStringLiteral("terminal_text_fragment_gray"),
        QStringLiteral("terminal_color_vertex"),   QStringLiteral("terminal_cell_color_vertex"),
        QStringLiteral("terminal_color_fragment"),
    };
    return names;
}

std::optional<QString> MetalShaderLibrary::loadShaderSource()
{
    initGpuResources();
    QFile file(resourcePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

bool MetalShaderLibrary::hasRequiredFunctions(const QString &source)
{
    for (const QString &name : requiredFunctions()) {
        const QRegularExpression section(QStringLiteral("^\\s*#\\s*ifdef\\s+%1\\s*$").arg(name),
                                         QRegularExpression::MultilineOption);
        if (!section.match(source).hasMatch()) {
            return false;
        }
    }
    return true;
}

QString MetalShaderLibrary::makeLibrary(const std::function<std::optional<QString>()> &loadSource)
{
    const std::optional<QString> source = loadSource ? loadSource() : std::nullopt;
    if (!source) {
        throw MetalError(MetalError::Kind::shaderSourceMissing, resourcePath());
    }
    if (!hasRequiredFunctions(*source)) {
        throw MetalError(MetalError::Kind::shaderFunctionMissing, requiredFunctions().join(QStringLiteral(", ")));
    }
    return *source;
}

QByteArray MetalShaderLibrary::stageSource(const QString &source, const QString &function)
{
    return QStringLiteral("#version 330 core\n#define %1\n#line 1\n").arg(function).toUtf8() + source.toUtf8();
}

} // namespace kestrix
