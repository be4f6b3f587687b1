#pragma once

#include <memory>

class QApplication;

namespace corvane {

class MainWindow;

// The root of the application: names the application, opens the main window and runs the
// event loop.
class CalveroApp {
public:
    explicit CalveroApp(QApplication &application);
    ~CalveroApp();

    CalveroApp(const CalveroApp &) = delete;
    CalveroApp &operator=(const CalveroApp &) = delete;

    static void configureApplication(QApplication &application);

    MainWindow &mainWindow() { return *window_; }

    int run();

private:
    QApplication &application_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace corvane
