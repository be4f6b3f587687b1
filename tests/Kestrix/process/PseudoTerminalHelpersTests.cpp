#include "Kestrix/process/PseudoTerminalHelpers.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrix {
namespace {

std::string readUntilEnd(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return text; // EIO once the child side is closed
        }
        text.append(buffer, static_cast<size_t>(count));
    }
}

TEST(PseudoTerminalHelpersTest, CStringArrayCopiesTheStringsAndEndsWithNull)
{
    auto array = PseudoTerminalHelpers::cStringArray({"one", "", "thrée"});
    ASSERT_TRUE(array);
    ASSERT_EQ(array->size(), 3u);
    EXPECT_STREQ(array->data()[0], "one");
    EXPECT_STREQ(array->data()[1], "");
    EXPECT_STREQ(array->data()[2], "thrée");
    EXPECT_EQ(array->data()[3], nullptr);

    auto empty = PseudoTerminalHelpers::cStringArray({});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->data()[0], nullptr);
}

TEST(PseudoTerminalHelpersTest, CStringArrayRefusesAStringWithANulByte)
{
    EXPECT_FALSE(PseudoTerminalHelpers::cStringArray({"fine", std::string("cut\0off", 7)}));
}

TEST(PseudoTerminalHelpersTest, ForkAndExecRunsTheWholeArgumentVectorOnATerminal)
{
    winsize size{12, 34, 0, 0};
    auto child = PseudoTerminalHelpers::forkAndExec(
        "/bin/sh", {"probe", "-c", "printf '%s ' \"$0\"; stty size; sleep 0.2; stty size"}, {}, "/", size);
    ASSERT_TRUE(child);
    EXPECT_TRUE(::fcntl(child->masterFd, F_GETFD) & FD_CLOEXEC);

    pollfd ready{child->masterFd, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 10000), 1);
    ::usleep(50000);
    auto available = PseudoTerminalHelpers::availableBytes(child->masterFd);
    EXPECT_EQ(available.result, 0);
    EXPECT_EQ(available.count, static_cast<int>(std::strlen("probe 12 34\r\n")));

    EXPECT_EQ(PseudoTerminalHelpers::setWindowSize(child->masterFd, winsize{40, 100, 0, 0}), 0);
    std::string output = readUntilEnd(child->masterFd);
    EXPECT_EQ(output, "probe 12 34\r\n40 100\r\n");

    int status = 0;
    EXPECT_EQ(::waitpid(child->pid, &status, 0), child->pid);
    EXPECT_EQ(status, 0);
    ::close(child->masterFd);
}

std::string readProcFile(pid_t pid, const char *name)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The new program's loader opens and closes files of its own just after exec, so the listing is taken
// again until it holds only the three streams; a descriptor leaked from the parent never goes away.
std::map<int, std::string> settledDescriptors(pid_t pid)
{
    const std::filesystem::path fdDirectory = "/proc/" + std::to_string(pid) + "/fd";
    std::map<int, std::string> descriptors;
    for (int attempt = 0; attempt < 500; ++attempt) {
        descriptors.clear();
        std::error_code error;
        for (std::filesystem::directory_iterator entry(fdDirectory, error), end; !error && entry != end;
             entry.increment(error)) {
            std::filesystem::path target = std::filesystem::read_symlink(entry->path(), error);
            if (!error) {
                descriptors[std::stoi(entry->path().filename().string())] = target;
            }
        }
        if (!error && descriptors.size() == 3) {
            break;
        }
        ::usleep(10000);
    }
    return descriptors;
}

// The child's start-up rules, for the engine's terminals and the application's sessions alike.
TEST(PseudoTerminalHelpersTest, ChildHasOnlyTheTerminalAsItsStreamsAndControllingTerminal)
{
    // Dispositions, a blocked signal and an inheritable descriptor the parent has must not reach it.
    struct sigaction ignore {
    }, previousAction{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGINT, &ignore, &previousAction);
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const int inheritable = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(inheritable, 0);

    auto child = PseudoTerminalHelpers::forkAndExec("/bin/sleep", {"sleep", "30"}, {}, std::nullopt, winsize{});
    ::close(inheritable);
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGINT, &previousAction, nullptr);
    ASSERT_TRUE(child);
    EXPECT_TRUE(::fcntl(child->masterFd, F_GETFD) & FD_CLOEXEC);

    // It runs the program by now: start-up returns once exec has happened.
    const std::map<int, std::string> descriptors = settledDescriptors(child->pid);
    ASSERT_EQ(descriptors.size(), 3u);
    EXPECT_TRUE(descriptors.at(0).starts_with("/dev/pts/"));
    EXPECT_EQ(descriptors.at(1), descriptors.at(0));
    EXPECT_EQ(descriptors.at(2), descriptors.at(0));

    const std::string stat = readProcFile(child->pid, "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long parent = 0, group = 0, session = 0, terminal = 0;
    fields >> state >> parent >> group >> session >> terminal;
    EXPECT_EQ(session, child->pid) << "session leader";
    EXPECT_NE(terminal, 0) << "controlling terminal";

    const std::string status = readProcFile(child->pid, "status");
    EXPECT_NE(status.find("SigBlk:\t0000000000000000\n"), std::string::npos);
    EXPECT_NE(status.find("SigIgn:\t0000000000000000\n"), std::string::npos);

    ::kill(child->pid, SIGKILL);
    int reaped = 0;
    EXPECT_EQ(::waitpid(child->pid, &reaped, 0), child->pid);
    ::close(child->masterFd);
}

TEST(PseudoTerminalHelpersTest, ChildThatCannotRunTheProgramReportsWhyAndExitsWith127)
{
    const PseudoTerminalHelpers::Pair pty = PseudoTerminalHelpers::openPair(true);
    ASSERT_EQ(pty.error, 0);
    EXPECT_TRUE(::fcntl(pty.master, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(::fcntl(pty.slave, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(::fcntl(pty.master, F_GETFL) & O_NONBLOCK);
    auto argv = PseudoTerminalHelpers::cStringArray({"missing"});
    auto envp = PseudoTerminalHelpers::cStringArray({});
    const auto started =
        PseudoTerminalHelpers::startOnTerminal(pty.slave, "/nonexistent/program", argv->data(), envp->data(), nullptr);
    ASSERT_GT(started.pid, 0);
    EXPECT_EQ(started.launchError, ENOENT);
    int status = 0;
    EXPECT_EQ(::waitpid(started.pid, &status, 0), started.pid);
    EXPECT_EQ(status, 127 << 8);
    ::close(pty.master);
    ::close(pty.slave);
}

TEST(PseudoTerminalHelpersTest, IoctlsOnABadDescriptorReportFailure)
{
    EXPECT_EQ(PseudoTerminalHelpers::setWindowSize(-1, winsize{}), -1);
    EXPECT_EQ(PseudoTerminalHelpers::availableBytes(-1).result, -1);
}

} // namespace
} // namespace kestrix
