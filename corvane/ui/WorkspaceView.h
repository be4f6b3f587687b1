#pragma once

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace corvane {

class ServerOverviewView;
class ServerProfile;
class SessionManager;
class TerminalTabView;

// The detail column for the selected server: its overview with Connect while it has no
// session, that session's tab alone when it has one, and a tab per session (with New Tab)
// when it has more. A session's tab is kept while the session is in this workspace, whichever
// layout shows it, so nothing it shows starts over when the layout changes.
class WorkspaceView : public QWidget {
    Q_OBJECT

public:
    enum class Layout { overview, single, tabbed };

    WorkspaceView(std::shared_ptr<ServerProfile> profile, SessionManager &sessionManager,
                  QWidget *parent = nullptr);
    ~WorkspaceView() override;

    const std::shared_ptr<ServerProfile> &profile() const { return profile_; }
    Layout layout() const { return layout_; }

    // The session whose tab the tabbed layout selects: the active session wherever it is, else
    // this server's first session; none for a new random id (which matches no tab).
    QUuid selectedTabId() const;
    void selectTab(const QUuid &sessionId);
    // The session shown in front: the selected tab, or the only one.
    TerminalTabView *currentTab() const;
    TerminalTabView *tab(const QUuid &sessionId) const;

    ServerOverviewView *overview() const { return overview_; }
    QTabWidget *tabs() const { return tabs_; }
    QToolButton *newTabButton() const { return newTabButton_; }
    void openNewTab();

private:
    void showSessions();
    void showSelection();
    void showTitle(const QUuid &sessionId);
    void takeTabsOut();

    std::shared_ptr<ServerProfile> profile_;
    SessionManager &sessionManager_;
    Layout layout_ = Layout::overview;
    QStackedWidget *pages_;
    ServerOverviewView *overview_;
    QWidget *single_;
    QTabWidget *tabs_;
    QToolButton *newTabButton_;
    std::map<QUuid, QPointer<TerminalTabView>> tabsBySession_;
    // This server's sessions as last laid out, in list order.
    std::vector<QUuid> shownSessionIds_;
    bool showingSelection_ = false;
    // Sessions that appear after the first layout were opened by the user just now.
    bool laidOut_ = false;
};

} // namespace corvane
