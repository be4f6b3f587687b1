#include "SessionScreenSupport.h"
#include "corvane/catalogue/TemporaryStore.h"
#include "corvane/ui/ContentView.h"
#include "corvane/ui/MainWindow.h"
#include "corvane/ui/ServerListView.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WorkspaceView.h"
#include "tests/corvane/session/LoopbackSshd.h"

#include <QLineEdit>
#include <QListView>
#include <QToolButton>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

// The whole road in the real window: a profile added through the editor for a loopback sshd,
// Connect, the unknown key trusted, a command typed and its output on the screen, a resize the
// remote side sees, Disconnect and Reconnect.
class SessionWindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sshd.isRunning()) << sshd.error().toStdString();
        SSHSessionConfiguration configuration;
        configuration.sshPath = sshd.sshWrapper();
        configuration.homeDirectory = sshd.homeDirectory();
        configuration.auditSink = &audit;
        sessions = std::make_unique<SessionManager>(configuration);
    }

    void TearDown() override
    {
        for (const auto &session : std::vector(sessions->sessions())) {
            sessions->closeSession(session);
        }
        sessions.reset();
        sshd.stop();
        EXPECT_TRUE(noChildrenLeft());
    }

    void addProfileThroughTheEditor(ContentView &content)
    {
        content.perform(MenuCommand::newServer);
        ProfileEditorView *editor = content.profileEditor();
        ASSERT_NE(editor, nullptr);
        editor->findChild<QLineEdit *>("displayName")->setText("Loopback");
        editor->findChild<QLineEdit *>("hostname")->setText("127.0.0.1");
        editor->findChild<QLineEdit *>("port")->setText(QString::number(sshd.port()));
        editor->findChild<QLineEdit *>("username")->setText(LoopbackSshd::userName());
        editor->handleIdentityFileImport({sshd.clientKey()});
        editor->saveProfile();
        ASSERT_TRUE(waitUntil([&] { return content.profileEditor() == nullptr; }));
    }

    // Typed on the keyboard into the terminal view, ending with Return.
    static void type(kestrix::TerminalView &view, const QString &line)
    {
        QTest::keyClicks(&view, line);
        QTest::keyClick(&view, Qt::Key_Return);
    }

    LoopbackSshd sshd;
    RecordingAuditSink audit;
    TemporaryStore store;
    std::unique_ptr<SessionManager> sessions;
};

TEST_F(SessionWindowEndToEnd, ConnectTrustTypeResizeDisconnectAndReconnect)
{
    MainWindow window(store.context(), *sessions);
    window.resize(1200, 760);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ContentView &content = window.content();
    addProfileThroughTheEditor(content);

    QListView &list = content.serverList().list();
    ASSERT_EQ(list.model()->rowCount(), 1);
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
    WorkspaceView *workspace = content.workspaceView();
    ASSERT_NE(workspace, nullptr);
    ASSERT_EQ(workspace->layout(), WorkspaceView::Layout::overview);
    QTest::mouseClick(workspace->overview()->connectButton(), Qt::LeftButton);
    ASSERT_EQ(workspace->layout(), WorkspaceView::Layout::single);
    TerminalTabView *tab = workspace->currentTab();
    ASSERT_NE(tab, nullptr);
    const std::shared_ptr<SSHSession> session = tab->session();

    ASSERT_TRUE(waitUntil([&] { return tab->showingHostKeyAlert(); }, 30000))
        << session->state().displayText().toStdString();
    HostKeyAlertView *prompt = tab->hostKeyAlert();
    EXPECT_EQ(prompt->hostLabel()->text(), QStringLiteral("127.0.0.1:%1").arg(sshd.port()));
    ASSERT_TRUE(waitUntil([&] { return prompt->fingerprintsDone(); }));
    EXPECT_TRUE(prompt->fingerprintLabel()->text().startsWith("ED25519 SHA256:"))
        << prompt->fingerprintLabel()->text().toStdString();
    QTest::mouseClick(prompt->approveButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }, 30000))
        << session->state().displayText().toStdString();
    EXPECT_FALSE(tab->statusPanel()->isVisible());

    kestrix::TerminalView &view = *TerminalViewRepresentable::existingView(*session);
    ASSERT_TRUE(
        waitUntil([&] { return screenText(view).find_first_not_of(" \n") != std::string::npos; }, 30000))
        << "the shell's prompt";
    type(view, "echo calvero-ok");
    ASSERT_TRUE(
        waitUntil([&] { return screenText(view).find("\ncalvero-ok\n") != std::string::npos; }, 30000))
        << screenText(view);

    const auto remoteSizeIs = [&](int64_t rows, int64_t cols) {
        return screenText(view).find(std::to_string(rows) + " " + std::to_string(cols) + "\n") !=
               std::string::npos;
    };
    const int64_t columnsBefore = view.getTerminal().cols;
    window.resize(1000, 600);
    ASSERT_TRUE(waitUntil([&] { return view.getTerminal().cols < columnsBefore; }));
    type(view, "clear; stty size");
    EXPECT_TRUE(
        waitUntil([&] { return remoteSizeIs(view.getTerminal().rows, view.getTerminal().cols); }, 30000))
        << view.getTerminal().rows << "x" << view.getTerminal().cols << "\n"
        << screenText(view);

    QTest::mouseClick(tab->disconnectButton(), Qt::LeftButton);
    EXPECT_EQ(session->state(), SessionState::disconnected());
    ASSERT_TRUE(tab->statusPanel()->isVisible());
    QPushButton *reconnect = buttonTitled(*tab->statusPanel(), "Reconnect");
    ASSERT_NE(reconnect, nullptr);
    const std::string before = screenText(view);
    QTest::mouseClick(reconnect, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }, 30000))
        << session->state().displayText().toStdString();
    ASSERT_TRUE(waitUntil([&] { return screenText(view) != before; }, 30000)) << "the new shell's prompt";
    EXPECT_FALSE(tab->showingHostKeyAlert()) << "the trusted key is known now";
    EXPECT_EQ(TerminalViewRepresentable::existingView(*session), &view);
    type(view, "echo calvero-again");
    EXPECT_TRUE(
        waitUntil([&] { return screenText(view).find("\ncalvero-again\n") != std::string::npos; }, 30000))
        << screenText(view);

    if (const QByteArray shot = qgetenv("CALVERO_SCREENSHOT"); !shot.isEmpty()) {
        window.grab().save(QString::fromLocal8Bit(shot));
    }
    session->disconnect();
}

} // namespace
} // namespace corvane
