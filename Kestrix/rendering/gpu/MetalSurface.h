#pragma once

#include <QSize>

class QObject;
class QOpenGLContext;

namespace kestrix {

// What the GPU renderer draws into: an OpenGL 3.3 core surface (the view's `MetalView` widget).
class MetalSurface {
public:
    virtual ~MetalSurface() = default;
    // The object that carries the surface, which tells when it goes away.
    virtual QObject *surfaceObject() = 0;
    virtual QOpenGLContext *glContext() const = 0;
    // The drawable's size in device pixels, and device pixels per point.
    virtual QSize drawableSize() const = 0;
    virtual double backingScale() const = 0;
    // On screen: a frame drawn now will be shown, and reported when it is.
    virtual bool isShown() const = 0;
    virtual void setNeedsDisplay() = 0;
    // Stops calling this delegate, when it is the surface's, after releasing what it made in the
    // surface's context. A delegate calls it as it goes.
    virtual void detachDelegate(class MetalSurfaceDelegate *delegate) = 0;
};

// What draws into a surface: called with the surface's GL context current.
class MetalSurfaceDelegate {
public:
    virtual ~MetalSurfaceDelegate() = default;
    // The surface has a new context (first show, or a move to another top-level window).
    virtual void initializeGL(MetalSurface &surface) = 0;
    virtual void drawInMetalView(MetalSurface &surface) = 0;
    // The context is about to go: everything made in it must go now.
    virtual void releaseGL(MetalSurface &surface) = 0;
    // The last frame drawn is on the screen.
    virtual void frameCompleted() = 0;
};

} // namespace kestrix
