#include "SessionTestSupport.h"
#include "corvane/session/ChildProcess.h"

#include <QRegularExpression>

#include <csignal>
#include <fcntl.h>

namespace corvane {
namespace {

using namespace corvane::testing;

using Case = SessionState::Case;

bool isConnected(const SSHSession &session)
{
    return session.state().is(Case::connected);
}

QStringList splitNul(const QByteArray &bytes)
{
    QStringList fields;
    for (const QByteArray &field : bytes.split('\0')) {
        fields.append(QString::fromUtf8(field));
    }
    fields.removeLast(); // after the final terminator
    return fields;
}

class SSHSessionTest : public FakeSshTest {};

TEST(SessionState, DisplayTextsAndEquality)
{
    EXPECT_EQ(SessionState::failed("boom").displayText(), "Failed: boom");
    EXPECT_EQ(SessionState::idle().displayText(), "Idle");
    EXPECT_EQ(SessionState::verifyingHostKey().displayText(), QString::fromUtf8("Verifying host key\u2026"));
    EXPECT_EQ(SessionState::connecting().displayText(), QString::fromUtf8("Connecting\u2026"));
    EXPECT_EQ(SessionState::connected().displayText(), "Connected");
    EXPECT_EQ(SessionState::disconnected().displayText(), "Disconnected");
    EXPECT_EQ(SessionState::failed("a"), SessionState::failed("a"));
    EXPECT_NE(SessionState::failed("a"), SessionState::failed("b"));
    EXPECT_NE(SessionState::idle(), SessionState::disconnected());
}

TEST_F(SSHSessionTest, NewSessionIsIdleWithTheProfileNameAsTitle)
{
    auto profile = profileFor("h");
    SSHSession session(profile, configuration);
    EXPECT_EQ(session.state(), SessionState::idle());
    EXPECT_EQ(session.title(), "Test");
    EXPECT_EQ(session.pty().masterFD, -1);
    EXPECT_EQ(session.pty().slaveFD, -1);
    EXPECT_EQ(session.process(), nullptr);
    EXPECT_NE(session.id(), SSHSession(profile, configuration).id());
}

TEST_F(SSHSessionTest, SshGetsTheArgumentVectorAndTheTerminalEnvironment)
{
    qputenv("TERM", "dumb");
    qputenv("TERM_PROGRAM_VERSION", "9.9");
    qputenv("CALVERO_KEPT", "kept value");
    auto profile = std::make_shared<ServerProfile>("Web", "web1", "10.0.0.5", 2222, "deploy");
    profile->setPreferredIdentity("~/.ssh/id_ed25519");
    auto session = makeSession(profile);
    session->connect();
    ASSERT_TRUE(waitForRecord("environ"));

    EXPECT_EQ(splitNul(recorded("args")),
              (QStringList{"-p", "2222", "-i", "~/.ssh/id_ed25519", "-o", "ServerAliveInterval=30", "-o",
                           "ServerAliveCountMax=3", "-t", "web1"}));
    const QStringList environment = splitNul(recorded("environ"));
    for (const char *entry :
         {"TERM=xterm-256color", "COLORTERM=truecolor", "TERM_PROGRAM=Calvero", "CALVERO_KEPT=kept value"}) {
        EXPECT_EQ(environment.count(entry), 1) << entry;
    }
    EXPECT_TRUE(environment.filter(QRegularExpression("^TERM_PROGRAM_VERSION=")).isEmpty());
    EXPECT_TRUE(environment.filter(QRegularExpression("^TERM=")).size() == 1);
    qunsetenv("TERM_PROGRAM_VERSION");
    qunsetenv("CALVERO_KEPT");
    session->disconnect();
}

// The child's own start-up rules are tested with the pseudo-terminal routines that start it.
TEST_F(SSHSessionTest, SshRunsOnTheSessionTerminalWhoseSlaveIsClosedOnceItRuns)
{
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(isConnected(*session));
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready"); }));
    EXPECT_EQ(recorded("size").trimmed(), "24 80");
    EXPECT_TRUE(::fcntl(session->pty().masterFD, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(session->pty().slaveFD, -1);
    session->disconnect();
}

TEST_F(SSHSessionTest, TerminalHasTheLastKnownWindowSizeBeforeSshStarts)
{
    auto session = makeSession(profileFor("h"));
    session->setWindowSize(40, 132);
    session->connect();
    ASSERT_TRUE(waitForRecord("size"));
    EXPECT_EQ(recorded("size").trimmed(), "40 132");
    session->disconnect();
}

TEST_F(SSHSessionTest, WorkingDirectoryIsQuotedIntoACdLineRightAfterConnecting)
{
    setMode("readline");
    auto profile = profileFor("h");
    profile->setWorkingDirectory("/srv/it's");
    auto session = makeSession(profile);
    session->connect();
    ASSERT_TRUE(waitForRecord("line"));
    EXPECT_EQ(recorded("line"), "cd '/srv/it'\\''s'");
    session->disconnect();
}

TEST_F(SSHSessionTest, ConnectFollowsTheStateTable)
{
    auto session = makeSession(profileFor("h"));
    std::vector<SessionState> seen;
    QObject::connect(session.get(), &SSHSession::stateChanged, [&] { seen.push_back(session->state()); });

    session->connect();
    EXPECT_EQ(seen, (std::vector{SessionState::verifyingHostKey(), SessionState::connecting(),
                                 SessionState::connected()}));
    const ChildProcess *first = session->process();
    session->connect(); // already connected: nothing happens
    EXPECT_EQ(session->process(), first);
    EXPECT_EQ(seen.size(), 3u);

    session->disconnect();
    EXPECT_EQ(session->state(), SessionState::disconnected());
    session->connect(); // a disconnected session connects again
    EXPECT_TRUE(isConnected(*session));
    EXPECT_NE(session->process(), nullptr);
    session->disconnect();
    EXPECT_EQ(audit.actions(), (QStringList{"SSH connection opened to h", "SSH connection closed",
                                            "SSH connection opened to h", "SSH connection closed"}));
    for (const AuditEntry &entry : audit.entries) {
        EXPECT_EQ(entry.category, "Connection");
        EXPECT_EQ(entry.risk, RiskLevel::readOnly);
    }
}

TEST_F(SSHSessionTest, OutputArrivesWholeAndInOrderIncludingTheLastWordsBeforeExit)
{
    setMode("flood");
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::disconnected(); }));

    QByteArray expected;
    for (int line = 1; line <= 20000; ++line) {
        expected +=
            QString::asprintf("line %06d of the flood, long enough to fill the terminal quickly\r\n", line)
                .toUtf8();
    }
    expected += "Permission denied (publickey).\r\n";
    ASSERT_GE(expected.size(), 1024 * 1024);
    EXPECT_EQ(output->bytes.size(), expected.size());
    EXPECT_TRUE(output->bytes == expected);
    EXPECT_EQ(session->pty().masterFD, -1);
    EXPECT_EQ(session->process(), nullptr);
    // Leaving on its own writes no audit entry.
    EXPECT_EQ(audit.actions(), QStringList{"SSH connection opened to h"});
}

TEST_F(SSHSessionTest, ChangedHostKeyWarningFailsTheSessionEvenWhenSplitAcrossReads)
{
    for (const char *mode : {"warning", "split-warning"}) {
        setMode(mode);
        output->bytes.clear();
        auto session = makeSession(profileFor("h"));
        session->connect();
        ASSERT_TRUE(waitUntil([&] { return session->state().is(Case::failed); })) << mode;
        EXPECT_EQ(session->state().message(),
                  QString::fromUtf8("Host key changed \u2014 connection blocked for security"));
        EXPECT_FALSE(output->bytes.contains("HAS CHANGED")) << mode;
        EXPECT_EQ(session->pty().masterFD, -1);
        EXPECT_EQ(audit.actions().last(), "SSH connection closed");
    }
}

TEST_F(SSHSessionTest, SshExitingOnItsOwnDisconnectsWithoutAnAuditEntry)
{
    setMode("exit");
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::disconnected(); }));
    EXPECT_EQ(output->bytes, "bye\r\n");
    EXPECT_EQ(audit.actions(), QStringList{"SSH connection opened to h"});
}

TEST_F(SSHSessionTest, OldConnectionsExitDoesNotCloseTheNewOne)
{
    setMode("lingering");
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready"); }));
    session->disconnect();
    session->connect();
    ASSERT_TRUE(isConnected(*session));
    const int current = session->process()->pid();
    // The first child ends 0.4 s after it was asked to; the new connection must survive it.
    ASSERT_TRUE(waitUntil([&] { return childProcessIds() == std::vector<int>{current}; }));
    spinFor(200);
    EXPECT_TRUE(isConnected(*session));
    EXPECT_NE(session->pty().masterFD, -1);
    EXPECT_TRUE(session->isReading());
    session->disconnect();
}

TEST_F(SSHSessionTest, SshEndingLateAfterDisconnectLeavesNoDescriptorOpen)
{
    setMode("lingering");
    const std::map<int, QString> before = openDescriptors();
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready"); }));
    session->disconnect();
    // The child takes 0.4 s to end after being asked to, well past the disconnect's own tick.
    ASSERT_TRUE(noChildrenLeft());
    EXPECT_TRUE(waitUntil([&] { return openDescriptors() == before; }, 2000));
    EXPECT_EQ(session->state(), SessionState::disconnected());
}

TEST_F(SSHSessionTest, FailedLaunchClosesBothTerminalDescriptors)
{
    configuration.sshPath = record.filePath("missing-ssh");
    const std::map<int, QString> before = openDescriptors();
    auto session = makeSession(profileFor("h"));
    session->connect();
    EXPECT_EQ(session->state(), SessionState::failed(configuration.sshPath + ": No such file or directory"));
    EXPECT_EQ(session->pty().masterFD, -1);
    EXPECT_EQ(session->pty().slaveFD, -1);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_TRUE(audit.entries.empty());
    session->connect(); // a failed session may try again
    EXPECT_TRUE(session->state().is(Case::failed));
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(SSHSessionTest, DestinationBeginningWithADashIsRefusedWithoutStartingSsh)
{
    for (const char *alias : {"-oProxyCommand=touch /tmp/calvero-pwned", "-"}) {
        auto profile = std::make_shared<ServerProfile>("Evil", alias);
        auto session = makeSession(profile);
        session->connect();
        EXPECT_EQ(session->state(), SessionState::failed(QStringLiteral("Invalid destination: ") + alias));
        EXPECT_EQ(session->process(), nullptr);
        EXPECT_EQ(session->pty().masterFD, -1);
    }
    EXPECT_TRUE(recorded("pids").isEmpty());
}

TEST_F(SSHSessionTest, SendWritesNothingUnlessConnected)
{
    setMode("echo");
    auto session = makeSession(profileFor("h"));
    EXPECT_FALSE(session->send("before\n"));
    EXPECT_EQ(session->pendingInputSize(), 0);
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready\n"); }));
    EXPECT_TRUE(session->send("during"));
    ASSERT_TRUE(waitUntil([&] { return output->bytes.endsWith("during"); }));
    EXPECT_FALSE(output->bytes.contains("before"));
    session->disconnect();
    EXPECT_FALSE(session->send("after\n"));
    EXPECT_EQ(session->pendingInputSize(), 0);
}

TEST_F(SSHSessionTest, SendDeliversEveryByteInOrderWhenTheTerminalIsSlowToRead)
{
    setMode("echo");
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready\n"); }));
    output->bytes.clear();
    QByteArray sent;
    for (int block = 0; block < 64; ++block) {
        const QByteArray bytes =
            QString::asprintf("<block %02d>", block).toUtf8().leftJustified(4096, char('a' + block % 26));
        sent += bytes;
        session->send(bytes); // never blocks: what the terminal cannot take yet waits
    }
    ASSERT_TRUE(waitUntil([&] { return output->bytes.size() >= sent.size(); }));
    EXPECT_TRUE(output->bytes == sent);
    session->disconnect();
}

TEST_F(SSHSessionTest, InputWaitingForAHostThatDoesNotReadIsBounded)
{
    auto session = makeSession(profileFor("h")); // the idle fake never reads its input
    session->connect();
    ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready"); }));
    const QByteArray megabyte(1024 * 1024, 'x');
    int taken = 0;
    for (int i = 0; i < 20; ++i) {
        taken += session->send(megabyte) ? 1 : 0;
    }
    EXPECT_LT(taken, 20); // what does not fit is refused, and says so
    EXPECT_GT(session->pendingInputSize(), 0);
    EXPECT_LE(session->pendingInputSize(), SSHSession::maximumPendingInput);
    EXPECT_GT(session->pendingInputSize(), SSHSession::maximumPendingInput - 2 * megabyte.size());
    // The host takes nothing, so nothing drains while the session waits.
    const qsizetype waiting = session->pendingInputSize();
    spinFor(300);
    EXPECT_EQ(session->pendingInputSize(), waiting);
    session->disconnect();
    EXPECT_EQ(session->pendingInputSize(), 0);
}

TEST_F(SSHSessionTest, DisconnectOnAnIdleSessionIsRecorded)
{
    auto session = makeSession(profileFor("h"));
    session->disconnect();
    EXPECT_EQ(session->state(), SessionState::disconnected());
    EXPECT_EQ(audit.actions(), QStringList{"SSH connection closed"});
}

TEST_F(SSHSessionTest, DestroyingAConnectedSessionLeavesNoChildOrDescriptor)
{
    const std::map<int, QString> before = openDescriptors();
    auto session = makeSession(profileFor("h"));
    session->connect();
    ASSERT_TRUE(isConnected(*session));
    session.reset();
    EXPECT_TRUE(childProcessIds().empty());
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(SSHSessionTest, TitleNotifiesOnlyOnChange)
{
    auto session = makeSession(profileFor("h"));
    int changes = 0;
    QObject::connect(session.get(), &SSHSession::titleChanged, [&] { ++changes; });
    session->setTitle("Test");
    session->setTitle("vim");
    session->setTitle("vim");
    EXPECT_EQ(changes, 1);
}

} // namespace
} // namespace corvane
