#pragma once

#include <QMainWindow>
#include <QSize>

namespace corvane {

// The application's main window. Its content arrives with the screens that fill it.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{1200, 760};

    explicit MainWindow(QWidget *parent = nullptr);
};

} // namespace corvane
