#pragma once

#include "corvane/ui/MenuCommand.h"

#include <QMainWindow>
#include <QSize>

class QAction;

namespace corvane {

class ContentView;
class ModelContext;
class SessionManager;

// One main window: its own menu bar over its ContentView. Every menu command and shortcut
// acts on this window only.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{1200, 760};

    MainWindow(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent = nullptr);

    ContentView &content() const { return *content_; }
    QAction *commandAction(MenuCommand command) const;

signals:
    // Commands of the application rather than of this window.
    void newWindowRequested();
    void settingsRequested();
    void quitRequested();

private:
    void buildMenus();
    QAction *addCommand(QMenu *menu, MenuCommand command);

    ContentView *content_;
};

} // namespace corvane
