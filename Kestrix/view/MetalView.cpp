#include "Kestrix/view/MetalView.h"

#include <QOpenGLContext>

#include <cmath>

namespace kestrix {

namespace {

QSurfaceFormat coreProfileFormat()
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

} // namespace

MetalView::MetalView(QWidget *parent) : QOpenGLWidget(parent)
{
    setFormat(coreProfileFormat());
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    connect(this, &QOpenGLWidget::frameSwapped, this, [this] {
        if (delegate_) {
            delegate_->frameCompleted();
        }
    });
}

MetalView::~MetalView()
{
    releaseContextResources();
    // The base class destroys the context after this object is gone; its end must not call back here.
    if (QOpenGLContext *current = context()) {
        disconnect(current, nullptr, this, nullptr);
    }
}

void MetalView::setDelegate(MetalSurfaceDelegate *delegate)
{
    if (delegate_ == delegate) {
        return;
    }
    releaseContextResources();
    delegate_ = delegate;
    if (delegate_ && context() && context()->isValid()) {
        makeCurrent();
        delegate_->initializeGL(*this);
        initialized_ = true;
        doneCurrent();
    }
    update();
}

void MetalView::detachDelegate(MetalSurfaceDelegate *delegate)
{
    if (delegate_ == delegate) {
        setDelegate(nullptr);
    }
}

QSize MetalView::drawableSize() const
{
    const double ratio = devicePixelRatioF();
    return {static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio))};
}

void MetalView::initializeGL()
{
    // A move to another top-level window gives the widget a new context; the old one announces its end.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &MetalView::releaseContextResources,
            Qt::UniqueConnection);
    if (delegate_) {
        delegate_->initializeGL(*this);
        initialized_ = true;
    }
}

void MetalView::paintGL()
{
    if (delegate_) {
        if (!initialized_) {
            delegate_->initializeGL(*this);
            initialized_ = true;
        }
        delegate_->drawInMetalView(*this);
    }
}

void MetalView::releaseContextResources()
{
    if (!initialized_ || !delegate_) {
        initialized_ = false;
        return;
    }
    initialized_ = false;
    const bool haveContext = context() && context()->isValid();
    if (haveContext) {
        makeCurrent();
    }
    delegate_->releaseGL(*this);
    if (haveContext) {
        doneCurrent();
    }
}

} // namespace kestrix
