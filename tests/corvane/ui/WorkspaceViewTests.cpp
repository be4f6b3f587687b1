#include "SessionScreenSupport.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WorkspaceView.h"

#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

class WorkspaceViewTest : public SessionScreenTest {
protected:
    std::shared_ptr<SSHSession> open(const std::shared_ptr<ServerProfile> &profile)
    {
        return sessions->openSession(profile);
    }

    static kestrix::TerminalView *viewOf(const std::shared_ptr<SSHSession> &session)
    {
        return TerminalViewRepresentable::existingView(*session);
    }
};

TEST_F(WorkspaceViewTest, LayoutsForNoneOneAndThreeSessionsKeepEachSessionsView)
{
    auto profile = makeProfile();
    auto workspace = std::make_unique<WorkspaceView>(profile, *sessions);
    workspace->resize(800, 600);
    workspace->show();
    EXPECT_EQ(workspace->layout(), WorkspaceView::Layout::overview);
    EXPECT_TRUE(workspace->overview()->isVisible());

    QTest::mouseClick(workspace->overview()->connectButton(), Qt::LeftButton);
    ASSERT_EQ(sessions->sessions().size(), 1u);
    auto first = sessions->sessions()[0];
    EXPECT_EQ(workspace->layout(), WorkspaceView::Layout::single);
    EXPECT_FALSE(workspace->tabs()->isVisible()) << "one session: no tab strip";
    ASSERT_NE(workspace->currentTab(), nullptr);
    EXPECT_EQ(workspace->currentTab()->session(), first);
    kestrix::TerminalView *firstView = viewOf(first);
    ASSERT_NE(firstView, nullptr);
    ASSERT_TRUE(waitUntil([&] { return screenText(*firstView).find("ready") != std::string::npos; }));

    auto second = open(profile);
    auto third = open(profile);
    EXPECT_EQ(workspace->layout(), WorkspaceView::Layout::tabbed);
    ASSERT_EQ(workspace->tabs()->count(), 3);
    EXPECT_TRUE(workspace->newTabButton()->isVisible());
    EXPECT_EQ(workspace->tabs()->tabText(0), "web");
    EXPECT_EQ(viewOf(first), firstView) << "the same view across layouts";
    EXPECT_TRUE(workspace->tab(first->id())->terminalArea()->isAncestorOf(firstView));
    EXPECT_NE(screenText(*firstView).find("ready"), std::string::npos) << "and its screen";
    EXPECT_EQ(workspace->currentTab()->session(), third) << "the newest session is active";

    // Another server selected and this one again: the workspace is built anew, the views stay.
    std::map<SSHSession *, kestrix::TerminalView *> views = {
        {first.get(), viewOf(first)}, {second.get(), viewOf(second)}, {third.get(), viewOf(third)}};
    workspace.reset();
    EXPECT_EQ(firstView->parentWidget(), nullptr);
    workspace = std::make_unique<WorkspaceView>(profile, *sessions);
    workspace->show();
    for (const auto &session : {first, second, third}) {
        EXPECT_EQ(viewOf(session), views[session.get()]);
        EXPECT_TRUE(workspace->tab(session->id())->terminalArea()->isAncestorOf(viewOf(session)));
    }
    EXPECT_NE(screenText(*firstView).find("ready"), std::string::npos);

    // Back to one session: still the same view.
    sessions->closeSession(second);
    sessions->closeSession(third);
    EXPECT_EQ(workspace->layout(), WorkspaceView::Layout::single);
    EXPECT_TRUE(workspace->currentTab()->terminalArea()->isAncestorOf(firstView));
    QTest::mouseClick(workspace->newTabButton(), Qt::LeftButton);
    EXPECT_EQ(workspace->layout(), WorkspaceView::Layout::tabbed);
    EXPECT_EQ(viewOf(first), firstView);
}

TEST_F(WorkspaceViewTest, TabSelectionFollowsTheActiveSessionAndChoosingATabMakesItActive)
{
    auto profile = makeProfile();
    auto other = makeProfile("other", "other.example");
    auto first = open(profile);
    auto second = open(profile);
    auto elsewhere = open(other);
    WorkspaceView workspace(profile, *sessions);
    workspace.show();
    ASSERT_EQ(workspace.tabs()->count(), 2) << "sessions of other servers never appear";
    EXPECT_EQ(workspace.selectedTabId(), elsewhere->id()) << "the active session, wherever it is";

    workspace.tabs()->tabBar()->tabBarClicked(0);
    EXPECT_EQ(sessions->activeSessionId(), first->id());
    EXPECT_EQ(workspace.currentTab()->session(), first);
    workspace.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sessions->activeSessionId(), second->id());

    sessions->setActiveSessionId(std::nullopt);
    EXPECT_EQ(workspace.selectedTabId(), first->id()) << "no active session: the first";

    sessions->setActiveSessionId(second->id());
    EXPECT_EQ(workspace.currentTab()->session(), second);
    auto third = open(profile);
    EXPECT_EQ(workspace.currentTab()->session(), third);
}

TEST_F(WorkspaceViewTest, AnotherServersSessionsLeaveTheTabsAsTheyAre)
{
    auto profile = makeProfile();
    open(profile);
    WorkspaceView workspace(profile, *sessions);
    workspace.show();
    TerminalTabView *tab = workspace.currentTab();
    tab->showQuickActions();
    ASSERT_NE(tab->quickActions(), nullptr);
    open(makeProfile("other", "other.example"));
    EXPECT_EQ(workspace.currentTab(), tab);
    EXPECT_NE(tab->quickActions(), nullptr) << "its open sheet stays";
}

TEST_F(WorkspaceViewTest, TabLabelIsTheSessionTitleShownAsText)
{
    auto profile = makeProfile();
    auto first = open(profile);
    auto second = open(profile);
    WorkspaceView workspace(profile, *sessions);
    second->setTitle("build & deploy");
    EXPECT_EQ(workspace.tabs()->tabText(1), "build && deploy");
}

TEST_F(WorkspaceViewTest, OverviewShowsOnlyTheRowsThatHaveValuesAndCtrlReturnConnects)
{
    auto bare = std::make_shared<ServerProfile>("bare", "", "", 2200, "", ServerEnvironment::staging, "");
    WorkspaceView workspace(bare, *sessions);
    workspace.show();
    using Rows = QList<std::pair<QString, QString>>;
    EXPECT_EQ(workspace.overview()->detailRows(), (Rows{{"Port", "2200"}}));
    EXPECT_EQ(ServerOverviewView::environmentSymbol(*bare), "cpu");

    auto full = makeProfile();
    full->setSshAlias("web-alias");
    full->setNotes("first\nsecond");
    ServerOverviewView overview(full, *sessions);
    EXPECT_EQ(overview.detailRows(), (Rows{{"Host", "host.example"},
                                           {"User", "deploy"},
                                           {"Port", "22"},
                                           {"Alias", "web-alias"},
                                           {"Notes", "first\nsecond"}}));

    workspace.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&workspace));
    QTest::keyClick(workspace.overview(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(sessions->sessions(*bare).size(), 1u);
    EXPECT_EQ(workspace.layout(), WorkspaceView::Layout::single);
}

} // namespace
} // namespace corvane
