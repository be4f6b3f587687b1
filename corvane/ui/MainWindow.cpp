#include "corvane/ui/MainWindow.h"

#include "corvane/ui/ContentView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace corvane {

MainWindow::MainWindow(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent)
    : QMainWindow(parent)
    , content_(new ContentView(modelContext, sessionManager, this))
{
    setWindowTitle(tr("Calvero"));
    setCentralWidget(content_);
    resize(defaultSize);
    buildMenus();
}

QAction *MainWindow::commandAction(MenuCommand command) const
{
    return findChild<QAction *>(QString::fromLatin1(menuCommandInfo(command).name));
}

QAction *MainWindow::addCommand(QMenu *menu, MenuCommand command)
{
    QAction *action = menu->addAction(menuCommandTitle(command));
    action->setObjectName(QString::fromLatin1(menuCommandInfo(command).name));
    action->setShortcut(menuCommandShortcut(command));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command] { content_->perform(command); });
    return action;
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("New Window"), this, &MainWindow::newWindowRequested);
    addCommand(file, MenuCommand::importSSHConfig);
    file->addSeparator();
    QAction *settings = file->addAction(tr("Settings…"), this, &MainWindow::settingsRequested);
    settings->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+,"), QKeySequence::PortableText));
    file->addSeparator();
    QAction *close = file->addAction(tr("Close Window"), this, &QWidget::close);
    close->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+W"), QKeySequence::PortableText));
    QAction *quit = file->addAction(tr("Quit"), this, &MainWindow::quitRequested);
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Q"), QKeySequence::PortableText));
    quit->setMenuRole(QAction::QuitRole);

    QMenu *server = menuBar()->addMenu(tr("&Server"));
    addCommand(server, MenuCommand::openCommandPalette);
    server->addSeparator();
    addCommand(server, MenuCommand::newServer);
    addCommand(server, MenuCommand::showAuditLog);
}

} // namespace corvane
