// The GPU renderer needs a 3.3 core context; this proves the test display provides one.
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <gtest/gtest.h>

TEST(OpenGLContext, CoreProfile33IsAvailable)
{
    QOpenGLContext context;
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));

    const QSurfaceFormat format = context.format();
    EXPECT_GE(std::make_pair(format.majorVersion(), format.minorVersion()), std::make_pair(3, 3));
    EXPECT_EQ(format.profile(), QSurfaceFormat::CoreProfile);
    context.doneCurrent();
}
