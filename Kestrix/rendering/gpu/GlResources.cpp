#include "Kestrix/rendering/gpu/GlResources.h"

#include <QOpenGLFunctions_3_3_Core>

#include <algorithm>

namespace kestrix {

namespace {

// Clears errors left by earlier calls, so the next check sees only its own.
void clearErrors(QOpenGLFunctions_3_3_Core &gl)
{
    for (int i = 0; i < 16 && gl.glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

std::unique_ptr<GlTexture> GlTexture::create(QOpenGLFunctions_3_3_Core &gl, int width, int height,
                                             GpuPixelFormat format)
{
    GLint largest = 0;
    gl.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (width <= 0 || height <= 0 || width > largest || height > largest) {
        return nullptr;
    }
    clearErrors(gl);
    GLuint id = 0;
    gl.glGenTextures(1, &id);
    if (id == 0) {
        return nullptr;
    }
    gl.glBindTexture(GL_TEXTURE_2D, id);
    const bool gray = format == GpuPixelFormat::r8;
    gl.glTexImage2D(GL_TEXTURE_2D, 0, gray ? GL_R8 : GL_RGBA8, width, height, 0, gray ? GL_RED : GL_BGRA,
                    GL_UNSIGNED_BYTE, nullptr);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    if (gl.glGetError() != GL_NO_ERROR) {
        gl.glDeleteTextures(1, &id);
        return nullptr;
    }
    return std::unique_ptr<GlTexture>(new GlTexture(gl, id, width, height, format));
}

GlTexture::GlTexture(QOpenGLFunctions_3_3_Core &gl, unsigned int id, int width, int height, GpuPixelFormat format)
    : gl_(gl), id_(id), width_(width), height_(height), format_(format)
{
}

GlTexture::~GlTexture()
{
    gl_.glDeleteTextures(1, &id_);
}

void GlTexture::replaceRegion(int x, int y, int width, int height, const uint8_t *pixels, int64_t bytesPerRow)
{
    const int pixelBytes = bytesPerPixel(format_);
    if (width <= 0 || height <= 0 || bytesPerRow % pixelBytes != 0) {
        return;
    }
    gl_.glBindTexture(GL_TEXTURE_2D, id_);
    gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl_.glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(bytesPerRow / pixelBytes));
    const bool gray = format_ == GpuPixelFormat::r8;
    gl_.glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, gray ? GL_RED : GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    gl_.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl_.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl_.glBindTexture(GL_TEXTURE_2D, 0);
}

std::unique_ptr<GpuTexture> GlTextureFactory::makeTexture(int width, int height, GpuPixelFormat format)
{
    return GlTexture::create(gl_, width, height, format);
}

std::shared_ptr<GlBuffer> GlBuffer::create(QOpenGLFunctions_3_3_Core &gl, int64_t length)
{
    if (length <= 0 || length > INT32_MAX) {
        return nullptr;
    }
    clearErrors(gl);
    GLuint id = 0;
    gl.glGenBuffers(1, &id);
    if (id == 0) {
        return nullptr;
    }
    gl.glBindBuffer(GL_TEXTURE_BUFFER, id);
    gl.glBufferData(GL_TEXTURE_BUFFER, static_cast<GLsizeiptr>(length), nullptr, GL_STREAM_DRAW);
    gl.glBindBuffer(GL_TEXTURE_BUFFER, 0);
    if (gl.glGetError() != GL_NO_ERROR) {
        gl.glDeleteBuffers(1, &id);
        return nullptr;
    }
    return std::shared_ptr<GlBuffer>(new GlBuffer(gl, id, length));
}

GlBuffer::GlBuffer(QOpenGLFunctions_3_3_Core &gl, unsigned int id, int64_t length) : gl_(gl), id_(id), length_(length)
{
}

GlBuffer::~GlBuffer()
{
    gl_.glDeleteBuffers(1, &id_);
}

void GlBuffer::write(const void *bytes, int64_t count)
{
    const int64_t written = std::min(count, length_);
    if (written <= 0) {
        return;
    }
    gl_.glBindBuffer(GL_TEXTURE_BUFFER, id_);
    gl_.glBufferSubData(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(written), bytes);
    gl_.glBindBuffer(GL_TEXTURE_BUFFER, 0);
}

std::shared_ptr<GpuBuffer> GlBufferFactory::makeBuffer(int64_t length)
{
    return GlBuffer::create(gl_, length);
}

} // namespace kestrix
