#include "LoopbackSshd.h"
#include "SessionTestSupport.h"
#include "corvane/session/HostKeyVerifier.h"

namespace corvane {
namespace {

using namespace corvane::testing;

// Sessions reach the loopback server through its ssh wrapper, with its home directory.
SSHSessionConfiguration configurationFor(LoopbackSshd &sshd, RecordingAuditSink &audit)
{
    SSHSessionConfiguration configuration;
    configuration.sshPath = sshd.sshWrapper();
    configuration.homeDirectory = sshd.homeDirectory();
    configuration.auditSink = &audit;
    return configuration;
}

std::shared_ptr<ServerProfile> loopbackProfile(LoopbackSshd &sshd)
{
    auto profile =
        std::make_shared<ServerProfile>("Loopback", "", "127.0.0.1", sshd.port(), LoopbackSshd::userName());
    profile->setPreferredIdentity(sshd.clientKey());
    return profile;
}

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
    const SSHSessionConfiguration configuration = configurationFor(sshd, audit);
    auto profile = loopbackProfile(sshd);
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

TEST(SshdEndToEnd, UnknownKeyIsScannedTrustedAndFoundAndAChangedKeyFailsTheSession)
{
    LoopbackSshd sshd;
    ASSERT_TRUE(sshd.isRunning()) << sshd.error().toStdString();
    RecordingAuditSink audit;
    const SSHSessionConfiguration configuration = configurationFor(sshd, audit); // real keygen, keyscan
    auto profile = loopbackProfile(sshd);
    const QString target = QStringLiteral("[127.0.0.1]:%1").arg(sshd.port());
    auto shellAnswers = [](SSHSession &session, RecordingOutputSink &output) {
        session.send("printf 'E2E-%s\\n' answered\n");
        return waitUntil([&] { return output.bytes.contains("E2E-answered"); });
    };

    {
        auto output = std::make_shared<RecordingOutputSink>();
        SSHSession first(profile, configuration);
        first.setTerminalView(output);
        first.connect();
        ASSERT_TRUE(waitUntil([&] { return first.hostKeyInfo().has_value(); }))
            << first.state().displayText().toStdString();
        EXPECT_EQ(first.state(), SessionState::verifyingHostKey());
        EXPECT_EQ(first.hostKeyInfo()->host, "127.0.0.1");
        EXPECT_EQ(first.hostKeyInfo()->port, sshd.port());
        EXPECT_NE(
            HostKeyVerifier::runProcess("/usr/bin/ssh-keygen", {"-f", sshd.knownHostsFile(), "-F", target}),
            0);

        first.trustHostKeyAndConnect();
        ASSERT_EQ(first.state(), SessionState::connected()) << first.state().displayText().toStdString();
        EXPECT_EQ(
            HostKeyVerifier::runProcess("/usr/bin/ssh-keygen", {"-f", sshd.knownHostsFile(), "-F", target}),
            0);
        EXPECT_TRUE(shellAnswers(first, *output)) << output->bytes.toStdString();
        first.disconnect();
    }
    {
        auto output = std::make_shared<RecordingOutputSink>();
        SSHSession second(profile, configuration);
        second.setTerminalView(output);
        int prompts = 0;
        QObject::connect(&second, &SSHSession::hostKeyInfoChanged, [&] { ++prompts; });
        second.connect();
        ASSERT_EQ(second.state(), SessionState::connected());
        EXPECT_TRUE(shellAnswers(second, *output)) << output->bytes.toStdString();
        EXPECT_EQ(prompts, 0);
        second.disconnect();
    }
    ASSERT_TRUE(sshd.changeHostKey());
    {
        SSHSession third(profile, configuration);
        third.connect();
        ASSERT_TRUE(waitUntil([&] { return third.state().is(SessionState::Case::failed); }))
            << third.state().displayText().toStdString();
        EXPECT_EQ(third.state().message(),
                  QString::fromUtf8("Host key changed \u2014 connection blocked for security"));
    }
    sshd.stop();
    EXPECT_TRUE(noChildrenLeft());
}

} // namespace
} // namespace corvane
