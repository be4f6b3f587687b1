#pragma once

#include "Kestrix/rendering/gpu/MetalSurface.h"

#include <QOpenGLWidget>

namespace kestrix {

// The widget the GPU renderer draws into: an OpenGL 3.3 core surface that hands its GL life to a
// delegate. The delegate's owner clears it before the delegate goes.
class MetalView : public QOpenGLWidget, public MetalSurface {
    Q_OBJECT

public:
    explicit MetalView(QWidget *parent = nullptr);
    ~MetalView() override;

    void setDelegate(MetalSurfaceDelegate *delegate);
    MetalSurfaceDelegate *delegate() const { return delegate_; }

    QObject *surfaceObject() override { return this; }
    QOpenGLContext *glContext() const override { return context(); }
    QSize drawableSize() const override;
    double backingScale() const override { return devicePixelRatioF(); }
    bool isShown() const override { return isVisible(); }
    void setNeedsDisplay() override { update(); }
    void detachDelegate(MetalSurfaceDelegate *delegate) override;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseContextResources();

    MetalSurfaceDelegate *delegate_ = nullptr;
    bool initialized_ = false;
};

} // namespace kestrix
