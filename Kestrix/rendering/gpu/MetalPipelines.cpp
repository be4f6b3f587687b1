#include "Kestrix/rendering/gpu/MetalPipelines.h"

#include "Kestrix/rendering/gpu/MetalError.h"
#include "Kestrix/rendering/gpu/MetalLog.h"
#include "Kestrix/rendering/gpu/MetalShaderLibrary.h"

#include <QOpenGLFunctions_3_3_Core>

namespace kestrix {

namespace {

// The driver refuses a pipeline in its own words; those go to the log, the error keeps the fixed text.
const QString pipelinePayload = QStringLiteral("text/color/cell");

QString shaderLog(QOpenGLFunctions_3_3_Core &gl, GLuint shader)
{
    GLint length = 0;
    gl.glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    QByteArray log(qMax(length, 1), '\0');
    gl.glGetShaderInfoLog(shader, log.size(), nullptr, log.data());
    return QString::fromUtf8(log.constData()).trimmed();
}

QString programLog(QOpenGLFunctions_3_3_Core &gl, GLuint program)
{
    GLint length = 0;
    gl.glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    QByteArray log(qMax(length, 1), '\0');
    gl.glGetProgramInfoLog(program, log.size(), nullptr, log.data());
    return QString::fromUtf8(log.constData()).trimmed();
}

GLuint compile(QOpenGLFunctions_3_3_Core &gl, const QString &source, const QString &function)
{
    const GLenum stage = function.contains(QStringLiteral("fragment")) ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER;
    const GLuint shader = gl.glCreateShader(stage);
    if (shader == 0) {
        throw MetalError(MetalError::Kind::shaderCompilationFailed, function);
    }
    const QByteArray text = MetalShaderLibrary::stageSource(source, function);
    const char *data = text.constData();
    const GLint length = static_cast<GLint>(text.size());
    gl.glShaderSource(shader, 1, &data, &length);
    gl.glCompileShader(shader);
    GLint compiled = GL_FALSE;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        const QString log = shaderLog(gl, shader);
        gl.glDeleteShader(shader);
        throw MetalError(MetalError::Kind::shaderCompilationFailed, function + QStringLiteral(": ") + log);
    }
    return shader;
}

} // namespace

std::unique_ptr<MetalPipelines> MetalPipelines::create(QOpenGLFunctions_3_3_Core &gl, const QString &source)
{
    std::unique_ptr<MetalPipelines> pipelines(new MetalPipelines(gl));
    const QStringList &functions = MetalShaderLibrary::requiredFunctions();
    for (qsizetype i = 0; i < functions.size(); ++i) {
        pipelines->shaders_[i] = compile(gl, source, functions[i]);
    }
    const auto shader = [&](const char *name) {
        return pipelines->shaders_[functions.indexOf(QLatin1StringView(name))];
    };
    const auto link = [&](MetalPipeline &pipeline, const char *vertex, const char *fragment, bool premultiplied) {
        const GLuint program = gl.glCreateProgram();
        if (program == 0) {
            throw MetalError(MetalError::Kind::pipelineCreationFailed, pipelinePayload);
        }
        pipeline.program = program;
        pipeline.premultiplied = premultiplied;
        gl.glAttachShader(program, shader(vertex));
        gl.glAttachShader(program, shader(fragment));
        gl.glBindFragDataLocation(program, 0, "fragColor");
        gl.glLinkProgram(program);
        GLint linked = GL_FALSE;
        gl.glGetProgramiv(program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) {
            qCWarning(metalRendererLog).noquote() << vertex << "+" << fragment << "did not link:" << programLog(gl, program);
            throw MetalError(MetalError::Kind::pipelineCreationFailed, pipelinePayload);
        }
        pipeline.viewportLocation = gl.glGetUniformLocation(program, "viewport");
        pipeline.primitivesLocation = gl.glGetUniformLocation(program, "primitives");
        pipeline.atlasLocation = gl.glGetUniformLocation(program, "atlas");
        gl.glUseProgram(program);
        gl.glUniform1i(pipeline.primitivesLocation, primitivesTextureUnit);
        if (pipeline.atlasLocation >= 0) {
            gl.glUniform1i(pipeline.atlasLocation, fragmentTextureUnit);
        }
        gl.glUseProgram(0);
    };
    link(pipelines->textPipeline, "terminal_text_vertex", "terminal_text_fragment", true);
    link(pipelines->textGrayPipeline, "terminal_text_vertex", "terminal_text_fragment_gray", true);
    link(pipelines->cellTextPipeline, "terminal_cell_text_vertex", "terminal_text_fragment", true);
    link(pipelines->cellTextGrayPipeline, "terminal_cell_text_vertex", "terminal_text_fragment_gray", true);
    link(pipelines->colorPipeline, "terminal_color_vertex", "terminal_color_fragment", false);
    link(pipelines->cellColorPipeline, "terminal_cell_color_vertex", "terminal_color_fragment", false);

    for (const auto &[sampler, filter] : {std::pair{&pipelines->sampler, GL_LINEAR},
                                         std::pair{&pipelines->nearestSampler, GL_NEAREST}}) {
        gl.glGenSamplers(1, sampler);
        if (*sampler == 0) {
            throw MetalError(MetalError::Kind::samplerUnavailable);
        }
        gl.glSamplerParameteri(*sampler, GL_TEXTURE_MIN_FILTER, filter);
        gl.glSamplerParameteri(*sampler, GL_TEXTURE_MAG_FILTER, filter);
        gl.glSamplerParameteri(*sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl.glSamplerParameteri(*sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    gl.glGenTextures(1, &pipelines->primitivesTexture);
    gl.glGenVertexArrays(1, &pipelines->vertexArray);
    return pipelines;
}

MetalPipelines::~MetalPipelines()
{
    for (MetalPipeline *pipeline : {&textPipeline, &textGrayPipeline, &colorPipeline, &cellTextPipeline,
                                    &cellTextGrayPipeline, &cellColorPipeline}) {
        if (pipeline->program != 0) {
            gl_.glDeleteProgram(pipeline->program);
        }
    }
    for (const GLuint shader : shaders_) {
        if (shader != 0) {
            gl_.glDeleteShader(shader);
        }
    }
    for (const GLuint each : {sampler, nearestSampler}) {
        if (each != 0) {
            gl_.glDeleteSamplers(1, &each);
        }
    }
    if (primitivesTexture != 0) {
        gl_.glDeleteTextures(1, &primitivesTexture);
    }
    if (vertexArray != 0) {
        gl_.glDeleteVertexArrays(1, &vertexArray);
    }
}

} // namespace kestrix
