// Test entry for Qt tests: one QApplication on the offscreen platform, so widgets can be
// created and laid out without a display.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Calvero"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
