#pragma once

#include "corvane/ui/ProfileEditorView.h"
#include "corvane/ui/SidebarItem.h"

#include <QMessageBox>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QLabel;
class QListView;
class QMenu;
class QToolButton;
class QVariantAnimation;

namespace corvane {

class ModelContext;
class ServerListModel;
class ServerProfile;
class SessionManager;

// The middle column of the main window: the profiles of the sidebar's choice, narrowed by the
// window's search text, one ServerRow each. Choosing a row selects that server for the window.
// Each row's context menu connects, duplicates, marks as favourite or deletes the profile.
class ServerListView : public QWidget {
    Q_OBJECT

public:
    using Profiles = std::vector<std::shared_ptr<ServerProfile>>;

    struct EmptyState {
        QString label;
        QString description;
    };

    ServerListView(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent = nullptr);
    ~ServerListView() override;

    static Profiles profilesForSelection(const Profiles &profiles, const SidebarSelection &selection);
    // Search text is used as typed: only a text with no characters at all leaves the list whole.
    static Profiles filteredProfilesForList(const Profiles &profiles, const SidebarSelection &selection,
                                            const QString &searchText);
    static QString listTitle(const SidebarSelection &selection);
    static EmptyState emptyState(const QString &searchText);
    static QString deleteConfirmationTitle(const QString &displayName);
    static QString deleteConfirmationMessage();

    void setSidebarSelection(const SidebarSelection &selection);
    void setSearchText(const QString &searchText);
    // Highlights the window's selected profile; a null id highlights nothing.
    void setSelectedProfileId(const QUuid &id);
    const QUuid &selectedProfileId() const { return selectedProfileId_; }

    // The row actions.
    void connectProfile(const std::shared_ptr<ServerProfile> &profile);
    std::shared_ptr<ServerProfile> duplicateProfile(const ServerProfile &profile);
    void setFavorite(ServerProfile &profile, bool isFavorite);
    // Asks for confirmation; nothing is deleted until the user agrees.
    void requestDelete(const std::shared_ptr<ServerProfile> &profile);
    void deleteProfile();
    // Opens the list's own editor sheet: for the profile, or for a new one without.
    void editProfile(const std::shared_ptr<ServerProfile> &profile);

    QMenu *makeContextMenu(const std::shared_ptr<ServerProfile> &profile, QWidget *parent);

    QListView &list() const { return *list_; }
    const ServerListModel &model() const { return *model_; }
    QString title() const;
    bool isShowingEmptyState() const;
    EmptyState shownEmptyState() const;
    QMessageBox *deleteConfirmation() const { return deleteConfirmation_; }
    QToolButton &addServerButton() const { return *addServerButton_; }
    ProfileEditorView *profileEditor() const { return profileEditor_; }

signals:
    // The user chose a profile (or the chosen one went away): a null id means none.
    void selectedProfileChanged(const QUuid &id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Saves the context; a failure is shown to the user.
    void saveChanges();
    void reload();
    void showSelectedRow();
    void takeSelectionFromList();
    void selectProfile(const QUuid &id);
    void watchSessions();
    void refreshStatusDots();
    void animateDot(const QUuid &id, qreal target);
    void showContextMenu(const QPoint &position);

    ModelContext &modelContext_;
    SessionManager &sessionManager_;
    SidebarSelection sidebarSelection_ = SidebarItem::allServers();
    QString searchText_;
    QUuid selectedProfileId_;
    std::shared_ptr<ServerProfile> profileToDelete_;

    QLabel *titleLabel_;
    QToolButton *addServerButton_;
    QListView *list_;
    ServerListModel *model_;
    QWidget *emptyOverlay_;
    QLabel *emptyLabel_;
    QLabel *emptyDescription_;
    QPointer<QMessageBox> deleteConfirmation_;
    QPointer<ProfileEditorView> profileEditor_;
    QObject *sessionWatch_ = nullptr; // owns the connections to each session's state
    std::map<QUuid, bool> dotTargets_;
    std::map<QUuid, QPointer<QVariantAnimation>> dotAnimations_;
    bool updatingSelection_ = false;
};

} // namespace corvane
