#include "SessionTestSupport.h"
#include "corvane/session/PTYBridge.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>

namespace corvane {
namespace {

using namespace corvane::testing;

TEST(PTYBridge, OpensACloseOnExecPairAndSetsTheWindowSize)
{
    PTYBridge pty;
    EXPECT_FALSE(pty.setWindowSize(24, 80)); // nothing open yet
    ASSERT_FALSE(pty.open().has_value());
    EXPECT_TRUE(::fcntl(pty.masterFD, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(::fcntl(pty.slaveFD, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(::fcntl(pty.masterFD, F_GETFL) & O_NONBLOCK);

    EXPECT_TRUE(pty.setWindowSize(33, 101));
    winsize size{};
    ASSERT_EQ(::ioctl(pty.slaveFD, TIOCGWINSZ, &size), 0);
    EXPECT_EQ(size.ws_row, 33);
    EXPECT_EQ(size.ws_col, 101);
    pty.closeDescriptors();
    EXPECT_EQ(pty.masterFD, -1);
    EXPECT_EQ(pty.slaveFD, -1);
}

TEST(PTYBridge, SecondOpenKeepsTheNewPairAndLeavesTheFirstToItsOwner)
{
    PTYBridge pty;
    ASSERT_FALSE(pty.open().has_value());
    PTYBridge first = pty;
    ASSERT_FALSE(pty.open().has_value());
    EXPECT_NE(pty.masterFD, first.masterFD);
    EXPECT_NE(::fcntl(first.masterFD, F_GETFD), -1); // still open
    first.closeDescriptors();
    pty.closeDescriptors();
}

TEST(PTYBridge, FailedOpenReportsErrnoAndLeavesTheDescriptors)
{
    PTYBridge pty;
    ASSERT_FALSE(pty.open().has_value());
    const PTYBridge before = pty;
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit exhausted = limit;
    exhausted.rlim_cur = 3; // no descriptor numbers beyond the standard three
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    const std::optional<PTYError> error = pty.open();
    ::setrlimit(RLIMIT_NOFILE, &limit);

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->errnoValue, EMFILE);
    EXPECT_EQ(error->errorDescription(), "openpty() failed with errno 24");
    EXPECT_EQ(pty.masterFD, before.masterFD);
    EXPECT_EQ(pty.slaveFD, before.slaveFD);
    pty.closeDescriptors();
}

TEST(SSHArgumentBuilder, BuildsOptionsInOrderWithTheDestinationLast)
{
    struct Build {
        int64_t port;
        const char *identity;
        const char *alias;
        const char *user;
        const char *host;
        QStringList arguments;
    };
    const QStringList fixed = {"-o", "ServerAliveInterval=30", "-o", "ServerAliveCountMax=3", "-t"};
    const Build builds[] = {
        {2222, "~/.ssh/id_ed25519", "web1", "deploy", "10.0.0.5",
         QStringList{"-p", "2222", "-i", "~/.ssh/id_ed25519"} + fixed + QStringList{"web1"}},
        {22, "", "", "deploy", "10.0.0.5", fixed + QStringList{"deploy@10.0.0.5"}},
        {0, "", "", "", "h", QStringList{"-p", "0"} + fixed + QStringList{"h"}},
        {-1, "", "", "", "h", QStringList{"-p", "-1"} + fixed + QStringList{"h"}},
        {22, "", "", "", "", fixed + QStringList{""}},
    };
    for (const Build &build : builds) {
        ServerProfile profile("P", build.alias, build.host, build.port, build.user);
        profile.setPreferredIdentity(build.identity);
        EXPECT_EQ(SSHArgumentBuilder().buildArguments(profile), build.arguments) << build.port << build.alias;
    }
}

TEST_F(FakeSshTest, SessionWithoutDescriptorsLeftFailsWithTheOpenError)
{
    auto session = makeSession(profileFor("h"));
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit exhausted = limit;
    exhausted.rlim_cur = 3;
    qputenv("FAKE_KEYGEN_STATUS", "0");
    // The host-key lookup needs descriptors of its own, so the limit applies to the launch.
    QObject::connect(session.get(), &SSHSession::stateChanged, [&] {
        if (session->state().is(SessionState::Case::connecting)) {
            ::setrlimit(RLIMIT_NOFILE, &exhausted);
        }
    });
    session->connect();
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(session->state(), SessionState::failed("openpty() failed with errno 24"));
    EXPECT_EQ(session->process(), nullptr);
}

} // namespace
} // namespace corvane
