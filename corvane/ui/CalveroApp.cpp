#include "corvane/ui/CalveroApp.h"

#include "corvane/ui/MainWindow.h"

#include <QApplication>

namespace corvane {

CalveroApp::CalveroApp(QApplication &application)
    : application_(application)
{
    configureApplication(application_);
    window_ = std::make_unique<MainWindow>();
}

CalveroApp::~CalveroApp() = default;

void CalveroApp::configureApplication(QApplication &application)
{
    // No organisation name: the store then lives directly under ~/.local/share/Calvero.
    application.setApplicationName(QStringLiteral("Calvero"));
    application.setApplicationDisplayName(QStringLiteral("Calvero"));
}

int CalveroApp::run()
{
    window_->show();
    return application_.exec();
}

} // namespace corvane
