#include "SessionTestSupport.h"
#include "corvane/session/HostKeyError.h"
#include "corvane/session/HostKeyVerifier.h"
#include "corvane/session/SessionManager.h"

#include <QFileInfo>

#include <QSet>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace corvane {
namespace {

using namespace corvane::testing;

using Case = SessionState::Case;

const QByteArray scannedKey = "|1|c2FsdA==|aGFzaA== ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIExample\n";

class HostKeyVerificationTest : public FakeSshTest {
protected:
    void SetUp() override
    {
        FakeSshTest::SetUp();
        qputenv("FAKE_KEYGEN_STATUS", "1"); // unknown
        qputenv("FAKE_KEYSCAN_OUTPUT", scannedKey);
        qputenv("FAKE_KEYSCAN_STATUS", "0");
    }

    QString knownHostsPath() const { return configuration.homeDirectory + "/.ssh/known_hosts"; }

    QByteArray knownHosts() const
    {
        QFile file(knownHostsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList calls(const char *tool) const
    {
        return QString::fromUtf8(recorded(tool)).split('\n', Qt::SkipEmptyParts);
    }

    int sshLaunches() const { return calls("pids").size(); }

    // Connects and waits until the scanned key is offered.
    std::unique_ptr<SSHSession> sessionAwaitingDecision(std::shared_ptr<ServerProfile> profile)
    {
        auto session = makeSession(std::move(profile));
        session->connect();
        EXPECT_TRUE(waitUntil([&] { return session->hostKeyInfo().has_value(); }));
        return session;
    }
};

TEST(HostKeyInfo, EqualityIgnoresTheIdentifier)
{
    const HostKeyInfo first{QUuid::createUuid(), "h", 22, "key\n"};
    const HostKeyInfo second{QUuid::createUuid(), "h", 22, "key\n"};
    EXPECT_EQ(first, second);
    EXPECT_NE(first, (HostKeyInfo{first.id, "h", 2222, "key\n"}));
    EXPECT_NE(first, (HostKeyInfo{first.id, "h", 22, "other\n"}));
}

TEST(HostKeyError, DescriptionsNameTheHost)
{
    EXPECT_EQ(HostKeyError::scanFailed("db1").errorDescription(), "Could not fetch host key for db1");
    EXPECT_EQ(HostKeyError::rejected("db1").errorDescription(), "Host key for db1 was rejected");
    EXPECT_EQ(HostKeyError::keyChanged("db1").errorDescription(),
              QString::fromUtf8("Host key for db1 has changed \u2014 connection blocked"));
}

TEST_F(HostKeyVerificationTest, KnownHostConnectsWithoutScanOrPrompt)
{
    qputenv("FAKE_KEYGEN_STATUS", "0");
    auto session = makeSession(profileFor("example.com"));
    int prompts = 0;
    QObject::connect(session.get(), &SSHSession::hostKeyInfoChanged, [&] { ++prompts; });
    session->connect();
    EXPECT_TRUE(session->state().is(Case::connected));
    EXPECT_EQ(calls("keygen-calls"), QStringList{"-f " + knownHostsPath() + " -F example.com"});
    EXPECT_TRUE(calls("keyscan-calls").isEmpty());
    EXPECT_EQ(prompts, 0);
    session->disconnect();
}

TEST_F(HostKeyVerificationTest, LookupAndScanNameThePortAndFallBackToTheAlias)
{
    struct Lookup {
        const char *alias;
        const char *hostname;
        int port;
        const char *target;
        const char *scan;
    };
    const Lookup lookups[] = {
        {"", "example.com", 22, "example.com", "-H example.com"},
        {"", "example.com", 2222, "[example.com]:2222", "-H -p 2222 example.com"},
        {"web1", "", 22, "web1", "-H web1"},
        {"web1", "10.0.0.5", 22, "10.0.0.5", "-H 10.0.0.5"},
    };
    for (const Lookup &lookup : lookups) {
        QFile::remove(record.filePath("keygen-calls"));
        QFile::remove(record.filePath("keyscan-calls"));
        auto session = sessionAwaitingDecision(
            std::make_shared<ServerProfile>("P", lookup.alias, lookup.hostname, lookup.port, "u"));
        EXPECT_EQ(calls("keygen-calls"), QStringList{"-f " + knownHostsPath() + " -F " + lookup.target});
        EXPECT_EQ(calls("keyscan-calls"), QStringList{lookup.scan});
        EXPECT_EQ(*session->hostKeyInfo(), (HostKeyInfo{{},
                                                        lookup.hostname[0] ? lookup.hostname : lookup.alias,
                                                        lookup.port,
                                                        QString::fromUtf8(scannedKey)}));
        EXPECT_EQ(session->state(), SessionState::verifyingHostKey());
        session->disconnect();
    }
    EXPECT_EQ(sshLaunches(), 0);
}

TEST_F(HostKeyVerificationTest, FailedOrBlankScanFailsTheSession)
{
    struct Scan {
        const char *status;
        const char *output;
    };
    for (const Scan &scan : {Scan{"1", scannedKey.constData()}, Scan{"0", " \n\t\r\n"}, Scan{"0", ""}}) {
        qputenv("FAKE_KEYSCAN_STATUS", scan.status);
        qputenv("FAKE_KEYSCAN_OUTPUT", scan.output);
        auto session = makeSession(profileFor("example.com"));
        session->connect();
        ASSERT_TRUE(waitUntil([&] { return session->state().is(Case::failed); }));
        EXPECT_EQ(session->state().displayText(), "Failed: Could not fetch host key for example.com");
        EXPECT_FALSE(session->hostKeyInfo().has_value());
    }
    EXPECT_EQ(sshLaunches(), 0);
}

TEST_F(HostKeyVerificationTest, ChattyScanErrorStreamCannotStallTheScan)
{
    qputenv("FAKE_KEYSCAN_CHATTY", "1");
    auto session = sessionAwaitingDecision(profileFor("example.com"));
    EXPECT_TRUE(session->hostKeyInfo().has_value());
    session->disconnect();
}

TEST_F(HostKeyVerificationTest, TrustAppendsTheKeyAndLaunchesSshExactlyOnce)
{
    auto session = sessionAwaitingDecision(profileFor("example.com"));
    EXPECT_EQ(sshLaunches(), 0);
    session->connect(); // an attempt is under way: nothing happens
    EXPECT_EQ(calls("keyscan-calls").size(), 1);
    EXPECT_TRUE(session->hostKeyInfo().has_value());
    std::vector<SessionState> seen;
    QObject::connect(session.get(), &SSHSession::stateChanged, [&] { seen.push_back(session->state()); });

    session->trustHostKeyAndConnect();
    EXPECT_EQ(seen, (std::vector{SessionState::connecting(), SessionState::connected()}));
    EXPECT_FALSE(session->hostKeyInfo().has_value());
    EXPECT_EQ(knownHosts(), scannedKey);
    struct stat status {};
    ASSERT_EQ(::stat(knownHostsPath().toUtf8().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // Later answers to the same prompt change nothing.
    session->trustHostKeyAndConnect();
    session->rejectHostKey();
    session->setHostKeyInfo(std::nullopt);
    spinFor(100);
    EXPECT_TRUE(session->state().is(Case::connected));
    ASSERT_TRUE(waitForRecord("pids"));
    spinFor(100);
    EXPECT_EQ(sshLaunches(), 1);
    EXPECT_EQ(knownHosts(), scannedKey);
    session->disconnect();
}

TEST_F(HostKeyVerificationTest, RejectOrDismissalFailsTheAttemptWithoutSsh)
{
    enum class Answer { rejectMethod, promptSetters, dismissal };
    for (Answer answer : {Answer::rejectMethod, Answer::promptSetters, Answer::dismissal}) {
        auto session = sessionAwaitingDecision(profileFor("example.com"));
        switch (answer) {
        case Answer::rejectMethod:
            session->rejectHostKey();
            break;
        case Answer::promptSetters: // what the prompt's Reject does
            session->setHostKeyInfo(std::nullopt);
            session->setState(SessionState::idle());
            break;
        case Answer::dismissal:
            session->setHostKeyInfo(std::nullopt);
            break;
        }
        ASSERT_TRUE(waitUntil([&] { return session->state().is(Case::failed); })) << int(answer);
        EXPECT_EQ(session->state().displayText(), "Failed: Host key for example.com was rejected");
        session->trustHostKeyAndConnect(); // too late
        EXPECT_TRUE(session->state().is(Case::failed));
    }
    EXPECT_EQ(sshLaunches(), 0);
    EXPECT_EQ(knownHosts(), "<missing>");
}

TEST_F(HostKeyVerificationTest, ClosingDuringTheWaitOrTheScanEndsTheAttempt)
{
    auto waiting = sessionAwaitingDecision(profileFor("example.com"));
    waiting->disconnect();
    EXPECT_FALSE(waiting->hostKeyInfo().has_value());
    waiting->trustHostKeyAndConnect();

    qputenv("FAKE_KEYSCAN_DELAY", "0.5");
    auto scanning = makeSession(profileFor("example.com"));
    scanning->connect();
    ASSERT_TRUE(waitForRecord("keyscan-calls"));
    scanning->disconnect();
    auto destroyedWhileScanning = makeSession(profileFor("example.com"));
    destroyedWhileScanning->connect();
    destroyedWhileScanning.reset();

    spinFor(800);
    EXPECT_EQ(waiting->state(), SessionState::disconnected());
    EXPECT_EQ(scanning->state(), SessionState::disconnected());
    EXPECT_FALSE(scanning->hostKeyInfo().has_value());
    EXPECT_EQ(sshLaunches(), 0);
}

TEST_F(HostKeyVerificationTest, ManagerClosingASessionEndsItsWait)
{
    SessionManager manager(configuration);
    auto session = manager.openSession(profileFor("example.com"));
    ASSERT_TRUE(waitUntil([&] { return session->hostKeyInfo().has_value(); }));
    manager.closeSession(session);
    spinFor(200);
    EXPECT_EQ(session->state(), SessionState::disconnected());
    EXPECT_EQ(sshLaunches(), 0);
}

TEST_F(HostKeyVerificationTest, FailedAppendKeepsTheKeyOfferedForAnotherAnswer)
{
    QDir(configuration.homeDirectory + "/.ssh").removeRecursively();
    auto session = sessionAwaitingDecision(profileFor("example.com"));
    session->trustHostKeyAndConnect();
    EXPECT_EQ(session->state(), SessionState::failed(knownHostsPath() + ": No such file or directory"));
    EXPECT_TRUE(session->hostKeyInfo().has_value());
    EXPECT_EQ(sshLaunches(), 0);

    ASSERT_TRUE(QDir().mkpath(configuration.homeDirectory + "/.ssh"));
    session->trustHostKeyAndConnect();
    EXPECT_TRUE(session->state().is(Case::connected));
    session->disconnect();
}

TEST_F(HostKeyVerificationTest, HostBeginningWithADashNeverReachesTheTools)
{
    for (const char *hostname : {"-oProxyCommand=touch /tmp/calvero-pwned", "-p"}) {
        auto session = makeSession(std::make_shared<ServerProfile>("Evil", "", hostname));
        session->connect();
        EXPECT_EQ(session->state(), SessionState::failed(QStringLiteral("Invalid destination: ") + hostname));
    }
    EXPECT_TRUE(recorded("keygen-calls").isEmpty());
    EXPECT_TRUE(recorded("keyscan-calls").isEmpty());
    EXPECT_EQ(sshLaunches(), 0);
}

class KnownHostsAppendTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(home.filePath(".ssh"))); }

    QString path() const { return home.filePath(".ssh/known_hosts"); }

    void write(const QByteArray &bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir home;
    HostKeyVerifier verifier{"/usr/bin/ssh-keygen", home.path()};
};

TEST_F(KnownHostsAppendTest, AppendsAfterALineBreakAndKeepsEveryExistingByte)
{
    struct Append {
        const char *name;
        std::optional<QByteArray> before;
        QByteArray after;
    };
    const QByteArray notUtf8 = "old\xff\xfe host ssh-rsa AAAA\n";
    const Append appends[] = {
        {"missing file", std::nullopt, "key\n"},
        {"empty file", QByteArray(), "key\n"},
        {"no final newline", "a b c", "a b c\nkey\n"},
        {"final newline", "a b c\n", "a b c\nkey\n"},
        {"line that is not UTF-8", notUtf8, notUtf8 + "key\n"},
    };
    for (const Append &append : appends) {
        QFile::remove(path());
        if (append.before) {
            write(*append.before);
        }
        EXPECT_FALSE(verifier.appendToKnownHosts("key\n").has_value()) << append.name;
        EXPECT_EQ(read(), append.after) << append.name;
    }
    EXPECT_FALSE(verifier.appendToKnownHosts("").has_value()); // nothing to add
    EXPECT_FALSE(verifier.appendToKnownHosts("two\nlines").has_value()); // ended for it
    EXPECT_EQ(read(), notUtf8 + "key\ntwo\nlines\n");
}

// Holds the process's file-size limit low while it lives; writes past it fail with EFBIG
// instead of killing the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    struct rlimit saved_ {};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(KnownHostsAppendTest, WriteThatFailsPartWayLeavesTheFileAsItWas)
{
    const QByteArray block = QByteArray(300, 'k') + "\n";
    struct Case {
        const char *name;
        QByteArray before;
        qsizetype room; // bytes the limit lets through
    };
    for (const Case &c : {Case{"short write", "a b c\n", 40}, Case{"no room at all", "a b c\n", 0},
                          Case{"only the line break fits", "a b c", 1}}) {
        write(c.before);
        std::optional<QString> error;
        {
            const FileSizeLimit limit(rlim_t(c.before.size() + c.room));
            error = verifier.appendToKnownHosts(QString::fromLatin1(block));
        }
        ASSERT_TRUE(error.has_value()) << c.name;
        EXPECT_TRUE(error->startsWith(path() + ": ")) << c.name << ": " << error->toStdString();
        EXPECT_EQ(read(), c.before) << c.name;
    }
}

TEST_F(KnownHostsAppendTest, AppendsAtTheSameTimeKeepEveryLineWhole)
{
    constexpr int writers = 8;
    for (int round = 0; round < 20; ++round) {
        write("a b c"); // the first line break is decided by whoever comes first
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < writers; ++i) {
            threads.emplace_back([&, i] {
                ++ready;
                while (ready.load() < writers) {
                }
                EXPECT_FALSE(verifier.appendToKnownHosts(QStringLiteral("key%1\n").arg(i)).has_value());
            });
        }
        for (std::thread &thread : threads) {
            thread.join();
        }
        const QList<QByteArray> lines = read().split('\n');
        ASSERT_EQ(lines.size(), writers + 2) << "round " << round; // the last piece follows the final break
        EXPECT_EQ(lines.first(), "a b c");
        EXPECT_EQ(lines.last(), "");
        QSet<QByteArray> keys;
        for (qsizetype i = 1; i <= writers; ++i) {
            keys.insert(lines[i]);
        }
        EXPECT_EQ(keys.size(), writers) << read().toStdString();
        EXPECT_FALSE(keys.contains(QByteArray())) << read().toStdString();
    }
}

TEST_F(KnownHostsAppendTest, SymlinkAndModeOfTheFileStay)
{
    const QString target = home.filePath("real_known_hosts");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("first\n");
    }
    ASSERT_EQ(::chmod(target.toUtf8().constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_FALSE(verifier.appendToKnownHosts("key\n").has_value());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(read(), "first\nkey\n");
    struct stat status {};
    ASSERT_EQ(::stat(target.toUtf8().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST_F(KnownHostsAppendTest, RealSshKeygenFindsAnAppendedKey)
{
    const QByteArray line = "[127.0.0.1]:2222 ssh-ed25519 "
                            "AAAAC3NzaC1lZDI1NTE5AAAAIBFdKMq3jCWo8ZQ1HBY0pxgbU2jUqTYJR2i3JC0/8vuf\n";
    EXPECT_FALSE(verifier.isHostKnown("127.0.0.1", 2222));
    ASSERT_FALSE(verifier.appendToKnownHosts(line).has_value());
    EXPECT_TRUE(verifier.isHostKnown("127.0.0.1", 2222));
    EXPECT_FALSE(verifier.isHostKnown("127.0.0.1", 22));
}

} // namespace
} // namespace corvane
