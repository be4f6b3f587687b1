#pragma once

#include "corvane/ui/MainWindow.h"

#include <QList>
#include <QPointer>

#include <memory>

class QApplication;

namespace corvane {

class AppDelegate;
class SettingsPlaceholderView;

// The root of the application: names it, opens main windows over the one shared store and
// session manager, keeps the settings window, and disconnects every session when it quits.
class CalveroApp {
public:
    explicit CalveroApp(QApplication &application);
    ~CalveroApp();

    CalveroApp(const CalveroApp &) = delete;
    CalveroApp &operator=(const CalveroApp &) = delete;

    static void configureApplication(QApplication &application);

    // The first window opened at start-up.
    MainWindow &mainWindow() { return *windows_.front(); }
    // A new main window with its own selection, search and sheets; shown.
    MainWindow &newWindow();
    QList<MainWindow *> windows() const;
    // The settings window, built on first use and then kept; shown over the middle of the
    // window it was asked from.
    SettingsPlaceholderView &showSettings(const QWidget *over = nullptr);
    AppDelegate &delegate() { return *delegate_; }

    int run();

private:
    MainWindow *makeWindow();

    QApplication &application_;
    std::unique_ptr<AppDelegate> delegate_;
    QList<QPointer<MainWindow>> windows_;
    std::unique_ptr<SettingsPlaceholderView> settings_;
};

} // namespace corvane
