// The session screens in the real main window, with sessions that run the fake ssh: where keys
// go, what a hidden terminal does, and what the user sees when a connection ends.

#include "SessionScreenSupport.h"
#include "corvane/catalogue/AuditLog.h"
#include "corvane/catalogue/QuickAction.h"
#include "corvane/ui/ConnectionStatusView.h"
#include "corvane/ui/HostKeyAlertView.h"
#include "corvane/ui/QuickActionsView.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WorkspaceView.h"
#include "corvane/ui/WrappingText.h"

#include <QApplication>
#include <algorithm>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace corvane {
namespace {

using namespace corvane::testing;

kestrix::TerminalView &viewOf(const std::shared_ptr<SSHSession> &session)
{
    return TerminalViewRepresentable::forSession(*session).view();
}

bool showsReady(const std::shared_ptr<SSHSession> &session)
{
    return session->state() == SessionState::connected() &&
           screenText(viewOf(session)).find("ready") != std::string::npos;
}

// Typed as on a keyboard: each key goes to whatever holds the keyboard at that moment.
void typeIntoFocus(const QString &text)
{
    for (const QChar character : text) {
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        if (character == QLatin1Char('\n')) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QTest::keyClick(QApplication::focusWidget(), character.toLatin1());
        }
    }
}

const QuickAction &actionTitled(const QString &title)
{
    for (const QuickAction &action : QuickAction::builtInActions()) {
        if (action.title == title) {
            return action;
        }
    }
    ADD_FAILURE() << "no action " << title.toStdString();
    return QuickAction::builtInActions().front();
}

std::pair<int64_t, int64_t> gridOf(kestrix::TerminalView &view)
{
    return {view.getTerminal().rows, view.getTerminal().cols};
}

TEST_F(SessionWindowTest, TabsInTheBackNeverHandTheirSessionAPassingWindowSize)
{
    setMode("winch");
    auto web = addServer("web");
    auto other = addServer("other", "other.example");
    auto window = showWindow();
    chooseServer(*window, *web);
    std::vector<std::shared_ptr<SSHSession>> opened;
    for (int i = 0; i < 3; ++i) {
        opened.push_back(sessions->openSession(web));
    }
    for (const auto &session : opened) {
        ASSERT_TRUE(waitUntil([&] { return showsReady(session); }));
    }
    const auto pickEveryTab = [&](WorkspaceView &workspace) {
        for (int index = 0; index < 3; ++index) {
            workspace.tabs()->setCurrentIndex(index);
            kestrix::TerminalView &shown = viewOf(opened[size_t(index)]);
            ASSERT_TRUE(waitUntil([&] { return shown.isVisible(); }));
            spinFor(150); // the remote side hears of a change within its 50 ms nap
        }
    };
    ASSERT_NE(window->content().workspaceView(), nullptr);
    pickEveryTab(*window->content().workspaceView());
    const std::pair<int64_t, int64_t> grid = gridOf(viewOf(opened.back()));
    const std::string ruler = "....:....1....:....2....:....3....:....4....:....5....:....6....:....7";
    for (const auto &session : opened) {
        viewOf(session).feedHostOutput(std::string_view(ruler + "\r\n"));
    }

    chooseServer(*window, *other);
    spinFor(150);
    chooseServer(*window, *web);
    ASSERT_NE(window->content().workspaceView(), nullptr);
    pickEveryTab(*window->content().workspaceView());

    if (const QByteArray shot = qgetenv("CALVERO_SCREENSHOT_DIR"); !shot.isEmpty()) {
        window->grab().save(QString::fromLocal8Bit(shot) + "/tabs-after-switching-back.png");
    }
    for (const auto &session : opened) {
        kestrix::TerminalView &view = viewOf(session);
        EXPECT_NE(screenText(view).find("\n" + ruler + "\n"), std::string::npos) << "whole:\n" << screenText(view);
        EXPECT_EQ(gridOf(view), grid);
        for (const auto &reported : reportedWindowSizes(view)) {
            EXPECT_EQ(reported, grid) << "a size the remote side was given:\n" << screenText(view);
        }
    }
}

TEST_F(SessionWindowTest, ChoosingAServerLeavesTheKeyboardInTheListWhileConnectAndTabsTakeIt)
{
    setMode("readline");
    auto web = addServer("web");
    auto db = addServer("db", "db.example");
    auto window = showWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    chooseServer(*window, *web);
    auto running = sessions->openSession(web);
    ASSERT_TRUE(waitUntil([&] { return running->state() == SessionState::connected(); }));

    // Type-ahead and arrow keys in the list move between servers, one of them connected.
    QListView &list = window->content().serverList().list();
    list.setFocus();
    for (const char *keys : {"d", "w", "d"}) {
        QTest::keyClicks(&list, keys);
        spinFor(QApplication::keyboardInputInterval() + 50);
    }
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up);
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up);
    ASSERT_EQ(window->content().selectedProfileId(), web->id()) << "the keys did choose the connected server";
    EXPECT_EQ(QApplication::focusWidget(), &list);
    typeIntoFocus("whoami\n");
    spinFor(300);
    EXPECT_EQ(recorded("line"), QByteArray()) << "nothing typed in the list reaches the shell";
    EXPECT_EQ(QApplication::focusWidget(), &list);

    // Connect in the overview: the new session's terminal takes the keyboard.
    chooseServer(*window, *db);
    WorkspaceView *workspace = window->content().workspaceView();
    ASSERT_NE(workspace, nullptr);
    QTest::mouseClick(workspace->overview()->connectButton(), Qt::LeftButton);
    ASSERT_EQ(sessions->sessions(*db).size(), 1u);
    auto first = sessions->sessions(*db).front();
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == &viewOf(first); }));

    // New Tab, and a tab picked by a click.
    QTest::mouseClick(workspace->newTabButton(), Qt::LeftButton);
    ASSERT_EQ(sessions->sessions(*db).size(), 2u);
    auto second = sessions->sessions(*db).back();
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == &viewOf(second); }));
    list.setFocus();
    QTabBar *bar = workspace->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == &viewOf(first); }));
}

TEST_F(SessionWindowTest, QuickActionIsNeverTypedIntoAFullScreenProgram)
{
    setMode("readline");
    auto web = addServer("web");
    auto window = showWindow();
    chooseServer(*window, *web);
    auto session = sessions->openSession(web);
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }));
    TerminalTabView *tab = window->content().workspaceView()->currentTab();
    ASSERT_NE(tab, nullptr);
    const auto audited = [&] {
        int count = 0;
        for (const auto &entry : store.context().fetch<AuditLog>()) {
            count += entry->actionDescription() == "Disk Usage";
        }
        return count;
    };

    // An editor takes the alternate screen: the command would be keys in it.
    viewOf(session).feedHostOutput(std::string_view("\x1b[?1049h\x1b[H~\r\n~\r\n"));
    QTest::mouseClick(tab->quickActionsButton(), Qt::LeftButton);
    QuickActionsView *sheet = tab->quickActions();
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->runButton(actionTitled("Disk Usage").id), Qt::LeftButton);
    spinFor(300);
    EXPECT_EQ(recorded("line"), QByteArray()) << "nothing sent";
    EXPECT_EQ(tab->quickActions(), sheet) << "the sheet stays open";
    EXPECT_TRUE(sheet->statusMessage().contains("full-screen program")) << sheet->statusMessage().toStdString();
    EXPECT_EQ(audited(), 0);

    // The editor quits: the same action runs.
    viewOf(session).feedHostOutput(std::string_view("\x1b[?1049l"));
    QTest::mouseClick(sheet->runButton(actionTitled("Disk Usage").id), Qt::LeftButton);
    ASSERT_TRUE(waitForRecord("line"));
    EXPECT_EQ(recorded("line"), "df -h");
    EXPECT_EQ(audited(), 1);
    EXPECT_TRUE(waitUntil([&] { return tab->quickActions() == nullptr; }));
}

TEST_F(SessionWindowTest, SshsLastWordsStayReadableWhenTheConnectionEndsOrFails)
{
    struct Case {
        const char *mode;
        SessionState::Case ending;
        const char *lastLine;
    };
    for (const Case &c : {Case{"flood", SessionState::Case::disconnected, "Permission denied (publickey)."},
                          Case{"exit", SessionState::Case::disconnected, "bye"},
                          Case{"idle", SessionState::Case::failed, "ready"}}) {
        SCOPED_TRACE(c.mode);
        setMode(c.mode);
        auto web = addServer(QString::fromLatin1(c.mode));
        auto window = showWindow();
        chooseServer(*window, *web);
        auto session = sessions->openSession(web);
        if (c.ending == SessionState::Case::failed) {
            ASSERT_TRUE(waitUntil([&] { return showsReady(session); }));
            session->disconnect();
            session->setState(SessionState::failed("Connection reset by peer"));
        }
        ASSERT_TRUE(waitUntil([&] { return session->state().is(c.ending); }, 30000))
            << session->state().displayText().toStdString();
        TerminalTabView *tab = window->content().workspaceView()->currentTab();
        ASSERT_NE(tab, nullptr);
        EXPECT_TRUE(tab->statusPanel()->isVisible());
        const QStringList shown = tab->lastOutputShown().split(QLatin1Char('\n'));
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.back(), c.lastLine) << tab->lastOutputShown().toStdString() << "\nscreen:\n"
                                            << screenText(viewOf(session));
        EXPECT_LE(shown.size(), 8);
        auto *output = tab->statusPanel()->findChild<WrappingText *>("lastOutput");
        ASSERT_NE(output, nullptr);
        EXPECT_TRUE(output->isVisible());
        if (const QByteArray shot = qgetenv("CALVERO_SCREENSHOT_DIR"); !shot.isEmpty()) {
            spinFor(100);
            window->grab().save(QString::fromLocal8Bit(shot) + "/ended-" + c.mode + ".png");
        }
    }
}

TEST_F(SessionWindowTest, RejectedKeySaysSoAndLongTextsWrapInsideTheWindow)
{
    qputenv("FAKE_KEYGEN_STATUS", "1");
    qputenv("FAKE_KEYSCAN_OUTPUT", "|1|abc=|def= ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIOMqqnkVzrm0\n");
    const QString host = QString(240, QLatin1Char('h')) + ".example";
    auto web = addServer("web", host);
    auto window = showWindow();
    const QSize windowSize = window->size();
    chooseServer(*window, *web);
    QTest::mouseClick(window->content().workspaceView()->overview()->connectButton(), Qt::LeftButton);
    TerminalTabView *tab = window->content().workspaceView()->currentTab();
    ASSERT_NE(tab, nullptr);
    ASSERT_TRUE(waitUntil([&] { return tab->showingHostKeyAlert(); }));
    QTest::mouseClick(tab->hostKeyAlert()->rejectButton(), Qt::LeftButton);
    const auto session = tab->session();
    ASSERT_TRUE(waitUntil([&] { return session->state().is(SessionState::Case::failed); }));

    const QString message = "Host key for " + host + " was rejected";
    EXPECT_EQ(session->state().message(), message);
    auto *shownMessage = tab->statusPanel()->findChild<WrappingText *>("failureMessage");
    ASSERT_NE(shownMessage, nullptr);
    EXPECT_EQ(shownMessage->text(), message);
    EXPECT_EQ(tab->statusView()->text(), "Failed: " + message);

    // The layouts settle over several passes of the event loop, more of them on a loaded machine.
    const auto everyLineShown = [&] {
        const auto texts = tab->findChildren<WrappingText *>();
        return std::all_of(texts.begin(), texts.end(), [](const WrappingText *text) {
            return !text->isVisible() || text->height() >= text->heightForWidth(text->width());
        });
    };
    waitUntil(everyLineShown, 5000);
    EXPECT_EQ(window->size(), windowSize) << "no text widens the window";
    EXPECT_LE(window->minimumSizeHint().width(), windowSize.width());
    for (const WrappingText *text : tab->findChildren<WrappingText *>()) {
        if (!text->isVisible()) {
            continue;
        }
        SCOPED_TRACE(text->text().toStdString());
        const QRect inTab(text->mapTo(tab, QPoint(0, 0)), text->size());
        EXPECT_TRUE(tab->rect().contains(inTab)) << "inside its panel";
        EXPECT_GE(text->height(), text->heightForWidth(text->width())) << "every line shown";
    }
    if (const QByteArray shot = qgetenv("CALVERO_SCREENSHOT_DIR"); !shot.isEmpty()) {
        window->grab().save(QString::fromLocal8Bit(shot) + "/rejected-key.png");
    }
}

TEST_F(SessionWindowTest, AWindowWhoseTerminalIsShownElsewhereSaysSoAndTakesItBackWhenPicked)
{
    auto web = addServer("web");
    auto session = sessions->openSession(web);
    ASSERT_TRUE(waitUntil([&] { return showsReady(session); }));
    auto first = showWindow();
    auto second = showWindow();
    const auto activate = [](MainWindow &window) {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    };
    const auto tabIn = [](MainWindow &window) { return window.content().workspaceView()->currentTab(); };
    kestrix::TerminalView &view = viewOf(session);

    activate(*first);
    chooseServer(*first, *web);
    TerminalTabView *firstTab = tabIn(*first);
    EXPECT_TRUE(firstTab->terminalArea()->isAncestorOf(&view));
    EXPECT_FALSE(firstTab->showsTerminalElsewhere());

    // File > New Window, the same server chosen there: the terminal goes there, and the first
    // window says where it is instead of an empty pane under "Connected".
    activate(*second);
    chooseServer(*second, *web);
    TerminalTabView *secondTab = tabIn(*second);
    EXPECT_TRUE(secondTab->terminalArea()->isAncestorOf(&view));
    EXPECT_TRUE(firstTab->showsTerminalElsewhere());
    EXPECT_TRUE(firstTab->elsewhereNotice()->isVisible());
    EXPECT_TRUE(shownTexts(*firstTab->elsewhereNotice()).join(' ').contains("another window"));
    EXPECT_FALSE(secondTab->showsTerminalElsewhere());

    // Picked in the first window again: it comes back there, with the keyboard.
    activate(*first);
    QTest::mouseClick(firstTab->elsewhereNotice(), Qt::LeftButton);
    EXPECT_TRUE(firstTab->terminalArea()->isAncestorOf(&view));
    EXPECT_FALSE(firstTab->showsTerminalElsewhere());
    EXPECT_TRUE(secondTab->showsTerminalElsewhere());
    EXPECT_TRUE(waitUntil([&] { return QApplication::focusWidget() == &view; }));
    const std::string before = screenText(view);
    EXPECT_NE(before.find("ready"), std::string::npos) << "the same screen";

    // The second window goes: nothing changes in the first.
    second.reset();
    EXPECT_TRUE(firstTab->terminalArea()->isAncestorOf(&view));
    EXPECT_FALSE(firstTab->showsTerminalElsewhere());
}

} // namespace
} // namespace corvane
