#include "Kestrix/process/PseudoTerminalHelpers.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
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

TEST(PseudoTerminalHelpersTest, IoctlsOnABadDescriptorReportFailure)
{
    EXPECT_EQ(PseudoTerminalHelpers::setWindowSize(-1, winsize{}), -1);
    EXPECT_EQ(PseudoTerminalHelpers::availableBytes(-1).result, -1);
}

} // namespace
} // namespace kestrix
