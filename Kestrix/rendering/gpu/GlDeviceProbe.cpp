#include "Kestrix/rendering/gpu/GlDeviceProbe.h"

#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLVersionFunctionsFactory>

namespace kestrix {

std::unique_ptr<GlDeviceProbe> GlDeviceProbe::create()
{
    std::unique_ptr<GlDeviceProbe> probe(new GlDeviceProbe());
    probe->previousContext_ = QOpenGLContext::currentContext();
    probe->previousSurface_ = probe->previousContext_ ? probe->previousContext_->surface() : nullptr;

    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    probe->context_.setFormat(format);
    if (!probe->context_.create()) {
        return nullptr;
    }
    const QSurfaceFormat made = probe->context_.format();
    if (std::make_pair(made.majorVersion(), made.minorVersion()) < std::make_pair(3, 3) ||
        made.profile() != QSurfaceFormat::CoreProfile) {
        return nullptr;
    }
    probe->surface_.setFormat(made);
    probe->surface_.create();
    if (!probe->surface_.isValid() || !probe->context_.makeCurrent(&probe->surface_)) {
        return nullptr;
    }
    probe->functions_ = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(&probe->context_);
    if (!probe->functions_ || !probe->functions_->initializeOpenGLFunctions()) {
        return nullptr;
    }
    GLint size = 0;
    probe->functions_->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    probe->maxTextureSize_ = size;
    return probe;
}

GlDeviceProbe::~GlDeviceProbe()
{
    if (QOpenGLContext::currentContext() == &context_) {
        context_.doneCurrent();
    }
    if (previousContext_ && previousSurface_) {
        previousContext_->makeCurrent(previousSurface_);
    }
}

} // namespace kestrix
