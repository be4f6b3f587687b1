// Test entry for OpenGL tests: a QApplication on a real X server (the test runs under
// xvfb-run) with a 3.3 core profile as the default surface format.
#include <QApplication>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calvero"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
