#include "corvane/ui/CalveroApp.h"

#include "corvane/catalogue/ModelContainer.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/AppDelegate.h"
#include "corvane/ui/MainWindow.h"
#include "corvane/ui/SettingsPlaceholderView.h"
#include "corvane/ui/Sheet.h"

#include <QApplication>

namespace corvane {

CalveroApp::CalveroApp(QApplication &application)
    : application_(application)
    , delegate_(std::make_unique<AppDelegate>(SessionManager::shared()))
{
    configureApplication(application_);
    windows_.append(makeWindow());
}

CalveroApp::~CalveroApp()
{
    for (const QPointer<MainWindow> &window : windows_) {
        delete window.data();
    }
}

void CalveroApp::configureApplication(QApplication &application)
{
    // No organisation name: the store then lives directly under ~/.local/share/Calvero.
    application.setApplicationName(QStringLiteral("Calvero"));
    application.setApplicationDisplayName(QStringLiteral("Calvero"));
}

MainWindow *CalveroApp::makeWindow()
{
    SessionManager &sessions = SessionManager::shared();
    // Opened on the first window; a store that cannot be opened ends the process here, with
    // a message, before any window shows.
    ModelContainer &container = sharedModelContainer();
    auto *window = new MainWindow(container.mainContext(), sessions);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &MainWindow::newWindowRequested, window, [this] { newWindow(); });
    QObject::connect(window, &MainWindow::settingsRequested, window, [this, window] { showSettings(window); });
    QObject::connect(window, &MainWindow::quitRequested, &application_, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return window;
}

MainWindow &CalveroApp::newWindow()
{
    windows_.removeAll(nullptr);
    MainWindow *window = makeWindow();
    windows_.append(window);
    window->show();
    return *window;
}

QList<MainWindow *> CalveroApp::windows() const
{
    QList<MainWindow *> open;
    for (const QPointer<MainWindow> &window : windows_) {
        if (window) {
            open.append(window);
        }
    }
    return open;
}

SettingsPlaceholderView &CalveroApp::showSettings(const QWidget *over)
{
    if (!settings_) {
        settings_ = std::make_unique<SettingsPlaceholderView>();
    }
    if (!settings_->isVisible()) {
        centreOver(*settings_, over != nullptr ? over : QApplication::activeWindow());
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
    return *settings_;
}

int CalveroApp::run()
{
    if (!windows_.isEmpty() && windows_.front()) {
        windows_.front()->show();
    }
    return application_.exec();
}

} // namespace corvane
