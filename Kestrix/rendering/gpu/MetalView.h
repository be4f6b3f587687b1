#pragma once

#include <QOpenGLWidget>

namespace kestrix {

class MetalView;

// What draws into a `MetalView`: called with the view's GL context current.
class MetalViewDelegate {
public:
    virtual ~MetalViewDelegate() = default;
    // The view has a new context (first show, or a move to another top-level window).
    virtual void initializeGL(MetalView &view) = 0;
    virtual void drawInMetalView(MetalView &view) = 0;
    // The context is about to go: everything made in it must go now.
    virtual void releaseGL(MetalView &view) = 0;
};

// The widget the GPU renderer draws into: an OpenGL 3.3 core surface that hands its GL life to a
// delegate. The delegate's owner clears it before the delegate goes.
class MetalView : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit MetalView(QWidget *parent = nullptr);
    ~MetalView() override;

    void setDelegate(MetalViewDelegate *delegate);
    MetalViewDelegate *delegate() const { return delegate_; }

    // The drawable's size in device pixels.
    QSize drawableSize() const;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseContextResources();

    MetalViewDelegate *delegate_ = nullptr;
    bool initialized_ = false;
};

} // namespace kestrix
