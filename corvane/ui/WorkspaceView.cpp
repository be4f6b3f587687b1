#include "corvane/ui/WorkspaceView.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/TerminalTabView.h"

#include <QApplication>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace corvane {
namespace {

// The host sets the title; an ampersand in it is shown, never taken as a mnemonic.
QString tabLabel(const SSHSession &session)
{
    QString label = session.title();
    return label.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

WorkspaceView::WorkspaceView(std::shared_ptr<ServerProfile> profile, SessionManager &sessionManager,
                             QWidget *parent)
    : QWidget(parent)
    , profile_(std::move(profile))
    , sessionManager_(sessionManager)
    , pages_(new QStackedWidget(this))
    , overview_(new ServerOverviewView(profile_, sessionManager_, pages_))
    , single_(new QWidget(pages_))
    , tabs_(new QTabWidget(pages_))
    , newTabButton_(new QToolButton(tabs_))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    auto *singleLayout = new QVBoxLayout(single_);
    singleLayout->setContentsMargins(0, 0, 0, 0);
    pages_->addWidget(overview_);
    pages_->addWidget(single_);
    pages_->addWidget(tabs_);

    tabs_->setDocumentMode(true);
    newTabButton_->setText(tr("New Tab"));
    newTabButton_->setIcon(symbols::icon(QStringLiteral("plus"), palette().color(QPalette::ButtonText)));
    newTabButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    newTabButton_->setAutoRaise(true);
    tabs_->setCornerWidget(newTabButton_, Qt::TopRightCorner);
    connect(newTabButton_, &QToolButton::clicked, this, &WorkspaceView::openNewTab);
    // Choosing a tab, even the one already in front, makes its session the active one.
    const auto choose = [this](int index) {
        if (showingSelection_ || index < 0) {
            return;
        }
        if (auto *chosen = qobject_cast<TerminalTabView *>(tabs_->widget(index))) {
            sessionManager_.setActiveSessionId(chosen->session()->id());
            chosen->focusTerminal();
        }
    };
    connect(tabs_, &QTabWidget::currentChanged, this, choose);
    connect(tabs_, &QTabWidget::tabBarClicked, this, choose);

    connect(&sessionManager_, &SessionManager::sessionsChanged, this, &WorkspaceView::showSessions);
    connect(&sessionManager_, &SessionManager::activeSessionIdChanged, this, &WorkspaceView::showSelection);
    showSessions();
}

WorkspaceView::~WorkspaceView()
{
    // Tabs go before the overview and the stack, each handing its terminal view back.
    for (auto &[id, tab] : tabsBySession_) {
        delete tab;
    }
}

void WorkspaceView::openNewTab()
{
    sessionManager_.openSession(profile_);
}

QUuid WorkspaceView::selectedTabId() const
{
    if (const std::optional<QUuid> &active = sessionManager_.activeSessionId()) {
        return *active;
    }
    const auto sessions = sessionManager_.sessions(*profile_);
    return sessions.empty() ? QUuid::createUuid() : sessions.front()->id();
}

void WorkspaceView::selectTab(const QUuid &sessionId)
{
    sessionManager_.setActiveSessionId(sessionId);
}

TerminalTabView *WorkspaceView::tab(const QUuid &sessionId) const
{
    const auto found = tabsBySession_.find(sessionId);
    return found == tabsBySession_.end() ? nullptr : found->second.data();
}

TerminalTabView *WorkspaceView::currentTab() const
{
    switch (layout_) {
    case Layout::overview:
        return nullptr;
    case Layout::single:
        return tabsBySession_.empty() ? nullptr : tabsBySession_.begin()->second.data();
    case Layout::tabbed:
        return qobject_cast<TerminalTabView *>(tabs_->currentWidget());
    }
    return nullptr;
}

void WorkspaceView::takeTabsOut()
{
    showingSelection_ = true;
    while (tabs_->count() > 0) {
        tabs_->removeTab(0);
    }
    showingSelection_ = false;
    for (auto &[id, tab] : tabsBySession_) {
        single_->layout()->removeWidget(tab);
    }
}

void WorkspaceView::showSessions()
{
    const auto sessions = sessionManager_.sessions(*profile_);
    std::vector<QUuid> ids;
    for (const auto &session : sessions) {
        ids.push_back(session->id());
    }
    if (ids == shownSessionIds_) {
        return; // another server's sessions changed
    }
    const std::set<QUuid> shownBefore(shownSessionIds_.begin(), shownSessionIds_.end());
    const bool firstLayout = !laidOut_;
    laidOut_ = true;
    shownSessionIds_ = ids;
    const std::set<QUuid> present(ids.begin(), ids.end());
    takeTabsOut();
    for (auto it = tabsBySession_.begin(); it != tabsBySession_.end();) {
        if (!present.count(it->first)) {
            delete it->second;
            it = tabsBySession_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto &session : sessions) {
        if (!tabsBySession_.count(session->id())) {
            auto *tab = new TerminalTabView(session, sessionManager_, single_);
            tabsBySession_[session->id()] = tab;
            const QUuid id = session->id();
            connect(session.get(), &SSHSession::titleChanged, this, [this, id] { showTitle(id); });
        }
    }

    if (sessions.empty()) {
        layout_ = Layout::overview;
        pages_->setCurrentWidget(overview_);
    } else if (sessions.size() == 1) {
        layout_ = Layout::single;
        TerminalTabView *only = tab(sessions.front()->id());
        only->setParent(single_);
        single_->layout()->addWidget(only);
        only->show();
        pages_->setCurrentWidget(single_);
    } else {
        layout_ = Layout::tabbed;
        showingSelection_ = true;
        for (const auto &session : sessions) {
            tabs_->addTab(tab(session->id()),
                          symbols::icon(QStringLiteral("terminal"), palette().color(QPalette::WindowText)),
                          tabLabel(*session));
        }
        showingSelection_ = false;
        pages_->setCurrentWidget(tabs_);
        showSelection();
    }
    // A session opened while this workspace is shown was asked for (Connect, New Tab,
    // Duplicate): the newest one's tab takes the keyboard, in the window the user is in.
    const bool userIsHere = isActiveWindow() || QApplication::activeWindow() == nullptr;
    if (!firstLayout && userIsHere && !ids.empty() && !shownBefore.count(ids.back())) {
        tab(ids.back())->focusTerminal();
    }
}

void WorkspaceView::showSelection()
{
    if (layout_ != Layout::tabbed) {
        return;
    }
    const QUuid selected = selectedTabId();
    if (TerminalTabView *selectedTab = tab(selected)) {
        showingSelection_ = true;
        tabs_->setCurrentWidget(selectedTab);
        showingSelection_ = false;
    }
    // An active session of another server names no tab here; the container keeps what it
    // shows, and choosing any tab makes that one active.
}

void WorkspaceView::showTitle(const QUuid &sessionId)
{
    TerminalTabView *titled = tab(sessionId);
    const int index = titled ? tabs_->indexOf(titled) : -1;
    if (index >= 0) {
        tabs_->setTabText(index, tabLabel(*titled->session()));
    }
}

} // namespace corvane
