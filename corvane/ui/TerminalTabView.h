#pragma once

#include "corvane/ui/HostKeyAlertView.h"
#include "corvane/ui/OneLineLabel.h"
#include "corvane/ui/QuickActionsView.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QToolButton;

namespace corvane {

class ConnectionStatusView;
class EnvironmentBadge;
class ProductionWarningBanner;
class SSHSession;
class SessionManager;

// The screen of one session: who it is connected to, the live terminal (covered by a status
// panel whenever the session is not connected, with Reconnect or Retry where they apply), the
// host-key prompt while a key waits for the user, and the actions Clear, Quick Actions,
// Duplicate and Disconnect. The terminal view belongs to the session; the tab only shows it.
class TerminalTabView : public QWidget {
    Q_OBJECT

public:
    // The seven bytes Clear feeds the local display: erase the screen, cursor home.
    static constexpr const char *clearSequence = "\x1b[2J\x1b[H";

    TerminalTabView(std::shared_ptr<SSHSession> session, SessionManager &sessionManager,
                    QWidget *parent = nullptr);
    ~TerminalTabView() override;

    const std::shared_ptr<SSHSession> &session() const { return session_; }

    // The user asked for this session (Connect, a new tab, a tab picked, Reconnect): its
    // terminal comes here if another window showed it, and takes the keyboard, now if the tab
    // is seen, else as soon as it is. Nothing else moves the keyboard into a terminal.
    void focusTerminal();
    // Whether the tab says its terminal is shown in another window.
    bool showsTerminalElsewhere() const;
    QWidget *elsewhereNotice() const { return elsewhereNotice_; }

    // The actions of the action bar.
    void clear();
    void showQuickActions();
    void duplicate();
    void disconnectSession();

    ProductionWarningBanner *banner() const { return banner_; }
    QLabel *groupLabel() const { return groupLabel_; }
    QLabel *hostLabel() const { return hostLabel_; }
    ConnectionStatusView *statusView() const { return statusView_; }
    QWidget *terminalArea() const { return terminalHolder_; }
    // The panel over the terminal; hidden while connected.
    QWidget *statusPanel() const { return statusPanel_; }
    // The terminal's last lines as the panel repeats them once a connection ended; empty when
    // the panel shows none.
    QString lastOutputShown() const;
    QToolButton *clearButton() const { return clearButton_; }
    QToolButton *quickActionsButton() const { return quickActionsButton_; }
    QToolButton *duplicateButton() const { return duplicateButton_; }
    QToolButton *disconnectButton() const { return disconnectButton_; }
    HostKeyAlertView *hostKeyAlert() const { return hostKeyAlert_; }
    bool showingHostKeyAlert() const { return hostKeyAlert_ != nullptr; }
    QuickActionsView *quickActions() const { return quickActions_; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeTerminalArea();
    QWidget *makeElsewhereNotice(QWidget *parent);
    void showWhereTheTerminalIs();
    QWidget *makeActionBar();
    QToolButton *makeActionButton(const QString &title, const QString &symbol, const QColor &color);
    void showProfile();
    void showState();
    void fillStatusPanel();
    void addLastOutput(QBoxLayout &column);
    void reconnect();
    void hostKeyInfoChanged();
    void presentHostKeyAlert();
    void approveHostKey();
    void rejectHostKey();
    void hostKeyAlertClosed(HostKeyAlertView *alert);
    void takeFocusIfAsked();

    std::shared_ptr<SSHSession> session_;
    SessionManager &sessionManager_;
    ProductionWarningBanner *banner_ = nullptr;
    OneLineLabel *nameLabel_ = nullptr;
    OneLineLabel *groupLabel_ = nullptr;
    QWidget *hostDivider_ = nullptr;
    OneLineLabel *hostLabel_ = nullptr;
    EnvironmentBadge *badge_ = nullptr;
    ConnectionStatusView *statusView_ = nullptr;
    QWidget *terminalHolder_ = nullptr;
    QWidget *statusPanel_ = nullptr;
    QWidget *elsewhereNotice_ = nullptr;
    QHBoxLayout *statusRow_ = nullptr;
    QPointer<QWidget> statusContent_;
    QToolButton *clearButton_ = nullptr;
    QToolButton *quickActionsButton_ = nullptr;
    QToolButton *duplicateButton_ = nullptr;
    QToolButton *disconnectButton_ = nullptr;
    QPointer<HostKeyAlertView> hostKeyAlert_;
    // Set once the open prompt was answered, so its closing does not count as a rejection.
    bool hostKeyDecided_ = false;
    QPointer<QuickActionsView> quickActions_;
    bool focusAsked_ = false;
};

} // namespace corvane
