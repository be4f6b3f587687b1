#include "SessionScreenSupport.h"
#include "corvane/ui/ConnectionStatusView.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/HostKeyAlertView.h"
#include "corvane/ui/QuickActionsView.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/TerminalViewRepresentable.h"

#include <QToolButton>
#include <QtTest/QTest>

#include <sys/ioctl.h>

namespace corvane {
namespace {

using namespace corvane::testing;

class TerminalTabViewTest : public SessionScreenTest {
protected:
    // A session of the manager that has not started connecting yet.
    std::shared_ptr<SSHSession> idleSession(std::shared_ptr<ServerProfile> profile = nullptr)
    {
        auto session = sessions->openSession(profile ? profile : makeProfile());
        session->disconnect(); // the manager starts it from the event loop; this one stays put
        session->setState(SessionState::idle());
        return session;
    }

    std::shared_ptr<SSHSession> connectedSession(const char *mode = "readline")
    {
        setMode(mode);
        auto session = sessions->openSession(makeProfile());
        EXPECT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }))
            << session->state().displayText().toStdString();
        return session;
    }

    static const char *keyBlock()
    {
        return "|1|abc=|def= ssh-ed25519 "
               "AAAAC3NzaC1lZDI1NTE5AAAAIOMqqnkVzrm0SdG6UOoqKLsabgH5C9okWi0dh2l9GKJl\n";
    }

    // A session whose connect routine waits for the answer about an unknown key.
    std::shared_ptr<SSHSession> sessionWithPendingKey()
    {
        qputenv("FAKE_KEYGEN_STATUS", "1");
        qputenv("FAKE_KEYSCAN_OUTPUT", keyBlock());
        auto session = sessions->openSession(makeProfile());
        EXPECT_TRUE(waitUntil([&] { return session->hostKeyInfo().has_value(); }));
        return session;
    }

    QString knownHosts() const
    {
        QFile file(configuration.homeDirectory + "/.ssh/known_hosts");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_F(TerminalTabViewTest, StatusPanelShowsEachStateAndHidesOnlyWhileConnected)
{
    struct Case {
        SessionState state;
        QStringList texts;
        QStringList buttons;
    };
    const std::vector<Case> cases = {
        {SessionState::idle(), {}, {}},
        {SessionState::verifyingHostKey(), {"Verifying host key…"}, {}},
        {SessionState::connecting(), {"Connecting to host.example…"}, {}},
        {SessionState::disconnected(), {"Disconnected"}, {"Reconnect"}},
        {SessionState::failed("first line\nsecond line"),
         {"Connection Failed", "first line\nsecond line"},
         {"Retry"}},
    };
    auto session = idleSession();
    TerminalTabView tab(session, *sessions);
    tab.resize(800, 500);
    tab.show();
    for (const Case &test : cases) {
        session->setState(test.state);
        SCOPED_TRACE(test.state.displayText().toStdString());
        EXPECT_TRUE(tab.statusPanel()->isVisible());
        EXPECT_EQ(shownTexts(*tab.statusPanel()), test.texts);
        EXPECT_EQ(buttonTitles(*tab.statusPanel()), test.buttons);
        for (const QWidget *shown : ownWidgets(*tab.statusPanel())) {
            EXPECT_TRUE(shown->isVisible()) << "shown at once";
        }
        EXPECT_EQ(tab.statusView()->state(), test.state);
        for (QToolButton *action :
             {tab.clearButton(), tab.quickActionsButton(), tab.duplicateButton(), tab.disconnectButton()}) {
            EXPECT_TRUE(action->isEnabled());
        }
    }
    for (const QLabel *label : tab.findChildren<QLabel *>()) {
        EXPECT_TRUE(label->text().isEmpty() || label->textFormat() == Qt::PlainText)
            << label->text().toStdString();
    }

    kestrix::TerminalView *view = TerminalViewRepresentable::existingView(*session);
    ASSERT_NE(view, nullptr);
    session->setState(SessionState::connected());
    EXPECT_FALSE(tab.statusPanel()->isVisible());
    EXPECT_EQ(TerminalViewRepresentable::existingView(*session), view) << "the same view, whatever the state";
    EXPECT_TRUE(tab.terminalArea()->isAncestorOf(view));
}

TEST_F(TerminalTabViewTest, TheViewLivesAsLongAsItsSession)
{
    auto session = connectedSession();
    auto tab = std::make_unique<TerminalTabView>(session, *sessions);
    QPointer<kestrix::TerminalView> view = TerminalViewRepresentable::existingView(*session);
    ASSERT_TRUE(view);
    sessions->closeSession(session);
    session.reset();
    EXPECT_TRUE(view) << "the tab still shows the closed session";
    tab.reset();
    EXPECT_FALSE(view) << "the last holder let the session go, and its view with it";
}

TEST_F(TerminalTabViewTest, ReconnectAndRetryStartTheConnectRoutineAgain)
{
    setMode("exit");
    auto session = sessions->openSession(makeProfile());
    TerminalTabView tab(session, *sessions);
    tab.show();
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::disconnected(); }));
    setMode("readline");
    QTest::mouseClick(buttonTitled(*tab.statusPanel(), "Reconnect"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }));
    EXPECT_FALSE(tab.statusPanel()->isVisible());

    session->disconnect();
    session->setState(SessionState::failed("Permission denied"));
    QTest::mouseClick(buttonTitled(*tab.statusPanel(), "Retry"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }));
    session->disconnect();
}

TEST_F(TerminalTabViewTest, HeaderShowsTheProfileAndTheBannerFollowsProduction)
{
    auto profile = makeProfile("db", "", ServerEnvironment::development);
    profile->setClientGroup("");
    profile->setUsername("");
    auto session = idleSession(profile);
    TerminalTabView tab(session, *sessions);
    tab.show();
    EXPECT_FALSE(tab.banner()->isVisible());
    EXPECT_FALSE(tab.hostLabel()->isVisible()) << "no display host, no host item";
    EXPECT_TRUE(tab.groupLabel()->isVisible()) << "an empty group keeps its place";

    profile->setEnvironment(ServerEnvironment::production);
    profile->setHostname("db.example");
    EXPECT_TRUE(tab.banner()->isVisible());
    EXPECT_TRUE(tab.hostLabel()->isVisible());
    EXPECT_EQ(tab.hostLabel()->text(), "db.example");
    EXPECT_EQ(tab.findChild<EnvironmentBadge *>()->environment(), ServerEnvironment::production);
    EXPECT_EQ(tab.disconnectButton()->toolTip(), "Disconnect");
}

TEST_F(TerminalTabViewTest, ClearResetsOnlyTheLocalDisplay)
{
    setMode("echo"); // whatever reaches the host comes back to the screen
    auto session = sessions->openSession(makeProfile());
    TerminalTabView tab(session, *sessions); // shown before the output arrives, as the workspace does
    tab.show();
    kestrix::TerminalView &view = *TerminalViewRepresentable::existingView(*session);
    ASSERT_TRUE(waitUntil([&] { return screenText(view).find("ready") != std::string::npos; }));
    view.feedHostOutput(std::string_view("\r\nsome output"));

    QTest::mouseClick(tab.clearButton(), Qt::LeftButton);
    EXPECT_EQ(visibleText(view).find_first_not_of(" \n"), std::string::npos) << visibleText(view);
    EXPECT_EQ(view.getTerminal().buffer->x(), 0);
    EXPECT_EQ(view.getTerminal().buffer->y(), 0);
    spinFor(200);
    EXPECT_EQ(visibleText(view).find_first_not_of(" \n"), std::string::npos) << "nothing reached the host";

    view.feedHostOutput(std::string_view("after"));
    EXPECT_EQ(visibleText(view).substr(0, 5), "after");
    session->disconnect();
}

TEST_F(TerminalTabViewTest, ResizeReachesThePseudoTerminal)
{
    auto session = connectedSession();
    TerminalTabView tab(session, *sessions);
    tab.resize(900, 600);
    tab.show();
    kestrix::TerminalView &view = *TerminalViewRepresentable::existingView(*session);
    const auto windowSize = [&] {
        winsize size{};
        ::ioctl(session->pty().masterFD, TIOCGWINSZ, &size);
        return size;
    };
    const auto matchesView = [&] {
        const winsize size = windowSize();
        return size.ws_col == view.getTerminal().cols && size.ws_row == view.getTerminal().rows;
    };
    ASSERT_TRUE(waitUntil(matchesView));
    const int64_t columnsBefore = view.getTerminal().cols;

    tab.resize(500, 400);
    ASSERT_TRUE(waitUntil([&] { return view.getTerminal().cols < columnsBefore; }));
    EXPECT_TRUE(waitUntil(matchesView));
    EXPECT_EQ(windowSize().ws_xpixel, 0);
    EXPECT_EQ(windowSize().ws_ypixel, 0);
    session->disconnect();
}

TEST_F(TerminalTabViewTest, DuplicateOpensAnotherActiveSessionAndDisconnectEndsThisOne)
{
    auto session = connectedSession();
    TerminalTabView tab(session, *sessions);
    tab.show();
    QTest::mouseClick(tab.duplicateButton(), Qt::LeftButton);
    ASSERT_EQ(sessions->sessions().size(), 2u);
    EXPECT_EQ(sessions->sessions()[1]->profile(), session->profile());
    EXPECT_EQ(sessions->activeSessionId(), sessions->sessions()[1]->id());
    EXPECT_EQ(session->state(), SessionState::connected());

    QTest::mouseClick(tab.disconnectButton(), Qt::LeftButton);
    EXPECT_EQ(session->state(), SessionState::disconnected());
    EXPECT_EQ(buttonTitles(*tab.statusPanel()), QStringList{"Reconnect"});
    QTest::mouseClick(tab.disconnectButton(), Qt::LeftButton); // harmless when not connected
}

TEST_F(TerminalTabViewTest, QuickActionsOpenTheSessionsSheetOnce)
{
    auto session = idleSession();
    TerminalTabView tab(session, *sessions);
    tab.show();
    QTest::mouseClick(tab.quickActionsButton(), Qt::LeftButton);
    ASSERT_NE(tab.quickActions(), nullptr);
    QuickActionsView *sheet = tab.quickActions();
    tab.showQuickActions();
    EXPECT_EQ(tab.quickActions(), sheet);
    sheet->reject();
    EXPECT_TRUE(waitUntil([&] { return tab.quickActions() == nullptr; }));
}

TEST_F(TerminalTabViewTest, KeyPendingWhenTheTabAppearsIsAskedAtOnce)
{
    auto session = sessionWithPendingKey();
    TerminalTabView tab(session, *sessions);
    tab.show();
    ASSERT_TRUE(tab.showingHostKeyAlert());
    EXPECT_EQ(tab.hostKeyAlert()->info(), *session->hostKeyInfo());
    EXPECT_EQ(shownTexts(*tab.statusPanel()), QStringList{"Verifying host key…"});
}

TEST_F(TerminalTabViewTest, RejectEndsTheAttemptAsFailed)
{
    auto session = sessionWithPendingKey();
    TerminalTabView tab(session, *sessions);
    tab.show();
    ASSERT_TRUE(tab.showingHostKeyAlert());
    QTest::mouseClick(tab.hostKeyAlert()->rejectButton(), Qt::LeftButton);
    EXPECT_FALSE(tab.showingHostKeyAlert());
    EXPECT_FALSE(session->hostKeyInfo());
    EXPECT_TRUE(waitUntil([&] { return session->state().is(SessionState::Case::failed); }));
    EXPECT_EQ(buttonTitles(*tab.statusPanel()), QStringList{"Retry"});
    EXPECT_TRUE(knownHosts().isEmpty());
}

TEST_F(TerminalTabViewTest, ClosingThePromptWithoutAnAnswerRejects)
{
    auto session = sessionWithPendingKey();
    TerminalTabView tab(session, *sessions);
    tab.show();
    ASSERT_TRUE(tab.showingHostKeyAlert());
    tab.hostKeyAlert()->close();
    EXPECT_TRUE(waitUntil([&] { return session->state().is(SessionState::Case::failed); }));
    EXPECT_TRUE(knownHosts().isEmpty());
}

TEST_F(TerminalTabViewTest, TrustAndConnectStandsWhenThePromptCloses)
{
    auto session = sessionWithPendingKey();
    TerminalTabView tab(session, *sessions);
    tab.show();
    ASSERT_TRUE(tab.showingHostKeyAlert());
    QTest::mouseClick(tab.hostKeyAlert()->approveButton(), Qt::LeftButton);
    EXPECT_FALSE(tab.showingHostKeyAlert());
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }))
        << session->state().displayText().toStdString();
    spinFor(100);
    EXPECT_EQ(session->state(), SessionState::connected()) << "the prompt's closing undid nothing";
    EXPECT_TRUE(knownHosts().contains(QString::fromUtf8(keyBlock())));
    session->disconnect();
}

TEST_F(TerminalTabViewTest, KeyClearedElsewhereClosesThePromptAndANewKeyReopensIt)
{
    auto session = idleSession();
    TerminalTabView tab(session, *sessions);
    tab.show();
    EXPECT_FALSE(tab.showingHostKeyAlert());
    const HostKeyInfo first{QUuid::createUuid(), "a.example", 22, "first"};
    const HostKeyInfo second{QUuid::createUuid(), "a.example", 2222, "second"};
    session->setHostKeyInfo(first);
    ASSERT_TRUE(tab.showingHostKeyAlert());
    HostKeyAlertView *alert = tab.hostKeyAlert();
    session->setHostKeyInfo(second);
    EXPECT_EQ(tab.hostKeyAlert(), alert) << "a replacing key keeps the prompt open";
    EXPECT_EQ(alert->hostLabel()->text(), "a.example:2222");
    session->setHostKeyInfo(std::nullopt);
    EXPECT_FALSE(tab.showingHostKeyAlert());
}

} // namespace
} // namespace corvane
