#include "corvane/ui/CalveroApp.h"
#include "corvane/ui/MainWindow.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(MainWindow, OpensTitledCalveroAtDefaultSize)
{
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    CalveroApp app(*application);
    MainWindow &window = app.mainWindow();
    window.show();

    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Calvero"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Calvero"));
    EXPECT_EQ(window.size(), QSize(1200, 760));
    EXPECT_TRUE(window.isVisible());
}

} // namespace
} // namespace corvane
