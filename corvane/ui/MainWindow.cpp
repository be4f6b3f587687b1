#include "corvane/ui/MainWindow.h"

namespace corvane {

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Calvero"));
    resize(defaultSize);
}

} // namespace corvane
