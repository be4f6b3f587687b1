#include "corvane/ui/CalveroApp.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    corvane::CalveroApp app(application);
    return app.run();
}
