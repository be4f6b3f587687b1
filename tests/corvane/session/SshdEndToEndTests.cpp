#include "LoopbackSshd.h"
#include "SessionTestSupport.h"

namespace corvane {
namespace {

using namespace corvane::testing;

TEST(SshdEndToEnd, SessionRunsARemoteShellOnATerminalOfTheSetSize)
{
    LoopbackSshd sshd;
    ASSERT_TRUE(sshd.isRunning()) << sshd.error().toStdString();
    {
        QFile knownHosts(sshd.knownHostsFile());
        ASSERT_TRUE(knownHosts.open(QIODevice::WriteOnly));
        knownHosts.write(sshd.knownHostsLine());
    }
    const std::map<int, QString> before = openDescriptors();

    RecordingAuditSink audit;
    SSHSessionConfiguration configuration;
    configuration.sshPath = sshd.sshWrapper();
    configuration.homeDirectory = sshd.homeDirectory();
    configuration.auditSink = &audit;
    auto profile =
        std::make_shared<ServerProfile>("Loopback", "", "127.0.0.1", sshd.port(), LoopbackSshd::userName());
    profile->setPreferredIdentity(sshd.clientKey());
    auto output = std::make_shared<RecordingOutputSink>();
    {
        SSHSession session(profile, configuration);
        session.setTerminalView(output);
        session.setWindowSize(33, 101);
        session.connect();
        ASSERT_EQ(session.state(), SessionState::connected()) << session.state().displayText().toStdString();

        ASSERT_TRUE(waitUntil([&] { return !output->bytes.isEmpty(); })); // the remote shell's prompt
        session.send("printf 'SIZE-IS-%s\\n' \"$(stty size)\"\n");
        ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("SIZE-IS-33 101"); }))
            << output->bytes.toStdString();
        EXPECT_TRUE(session.state().is(SessionState::Case::connected));

        session.disconnect();
        EXPECT_EQ(session.state(), SessionState::disconnected());
        EXPECT_TRUE(waitUntil([] { return childProcessIds().size() == 1; })); // only sshd is left
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(audit.actions(), (QStringList{"SSH connection opened to 127.0.0.1", "SSH connection closed"}));
    sshd.stop();
    EXPECT_TRUE(noChildrenLeft());
}

} // namespace
} // namespace corvane
