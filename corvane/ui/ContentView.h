#pragma once

#include "corvane/ui/AuditLogView.h"
#include "corvane/ui/CommandPaletteView.h"
#include "corvane/ui/MenuCommand.h"
#include "corvane/ui/ProfileEditorView.h"
#include "corvane/ui/SSHConfigImportView.h"
#include "corvane/ui/SidebarItem.h"
#include "corvane/ui/WelcomeView.h"
#include "corvane/ui/WorkspaceView.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <memory>

class QLineEdit;
class QSplitter;

namespace corvane {

class ModelContext;
class ServerListView;
class ServerProfile;
class SessionManager;
class SidebarView;

// The content of one main window: the sidebar with the window's search field, the server
// list, and the selected server's workspace (or the welcome screen when none is selected).
// It holds the window's own selection, search text and sheets. The selected server is held by
// id, so it is let go as soon as the profile is deleted, from whichever window.
class ContentView : public QWidget {
    Q_OBJECT

public:
    ContentView(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent = nullptr);
    ~ContentView() override;

    static QString searchPrompt();

    const SidebarSelection &sidebarSelection() const;
    const QUuid &selectedProfileId() const { return selectedProfileId_; }
    std::shared_ptr<ServerProfile> selectedProfile() const;
    // Selects the profile with the id (a null id selects none).
    void setSelectedProfileId(const QUuid &id);
    QString searchText() const;

    void perform(MenuCommand command);

    SidebarView &sidebar() const { return *sidebar_; }
    ServerListView &serverList() const { return *serverList_; }
    QLineEdit &searchField() const { return *searchField_; }
    QSplitter &splitter() const { return *splitter_; }
    // The screen shown in the detail column; exactly one of these is set.
    WelcomeView *welcomeView() const { return welcomeView_; }
    WorkspaceView *workspaceView() const { return workspaceView_; }
    CommandPaletteView *commandPalette() const { return commandPalette_; }
    bool showingCommandPalette() const { return commandPalette_ != nullptr; }
    AuditLogView *auditLog() const { return auditLog_; }
    bool showingAuditLog() const { return auditLog_ != nullptr; }
    ProfileEditorView *profileEditor() const { return profileEditor_; }
    bool showingProfileEditor() const { return profileEditor_ != nullptr; }
    SSHConfigImportView *sshImport() const { return sshImport_; }
    bool showingSSHImport() const { return sshImport_ != nullptr; }

signals:
    void selectedProfileChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showDetail();
    void forgetDeletedSelection();

    ModelContext &modelContext_;
    SessionManager &sessionManager_;
    QUuid selectedProfileId_;
    QSplitter *splitter_;
    SidebarView *sidebar_;
    QLineEdit *searchField_;
    ServerListView *serverList_;
    QWidget *detail_;
    QPointer<WelcomeView> welcomeView_;
    QPointer<WorkspaceView> workspaceView_;
    QPointer<CommandPaletteView> commandPalette_;
    QPointer<AuditLogView> auditLog_;
    QPointer<ProfileEditorView> profileEditor_;
    QPointer<SSHConfigImportView> sshImport_;
};

} // namespace corvane
