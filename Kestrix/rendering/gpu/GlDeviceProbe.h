#pragma once

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPointer>

#include <memory>

class QOpenGLFunctions_3_3_Core;

namespace kestrix {

// An OpenGL 3.3 core context on an offscreen surface, current while the probe lives: proof that the
// GPU renderer can run here, and a place to try its shaders before a widget exists. The context that
// was current before is current again when the probe goes.
class GlDeviceProbe {
public:
    // Nothing when no 3.3 core context can be made current.
    static std::unique_ptr<GlDeviceProbe> create();
    ~GlDeviceProbe();
    GlDeviceProbe(const GlDeviceProbe &) = delete;
    GlDeviceProbe &operator=(const GlDeviceProbe &) = delete;

    QOpenGLFunctions_3_3_Core &functions() const { return *functions_; }
    int maxTextureSize() const { return maxTextureSize_; }

private:
    GlDeviceProbe() = default;

    QOpenGLContext context_;
    QOffscreenSurface surface_;
    QOpenGLFunctions_3_3_Core *functions_ = nullptr;
    int maxTextureSize_ = 0;
    QPointer<QOpenGLContext> previousContext_;
    QSurface *previousSurface_ = nullptr;
};

} // namespace kestrix
