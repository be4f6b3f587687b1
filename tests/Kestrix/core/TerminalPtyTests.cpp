// A real program's output, read from a pseudo-terminal, fills a headless terminal.

#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

// Runs `script` with /bin/sh on a pseudo-terminal of the given size and returns all it wrote.
std::string outputOnPty(const char *script, unsigned short cols, unsigned short rows)
{
    winsize size{};
    size.ws_col = cols;
    size.ws_row = rows;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", script, static_cast<char *>(nullptr));
        _exit(127);
    }
    if (child < 0) {
        return {};
    }
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd poller{master, POLLIN, 0};
        if (poll(&poller, 1, 100) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t got = read(master, chunk, sizeof chunk);
        // The other side closing reads as EIO on Linux: end of file.
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        output.append(chunk, static_cast<size_t>(got));
    }
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    return output;
}

} // namespace

TEST(TerminalPty, PrintfOutputGivesTheExpectedScreen)
{
    const char *script = "printf 'one\\ttwo\\n\\033[1mbold\\033[0m caf\\303\\251 e\\314\\201\\n"
                         "\\033(0lqqk\\033(B\\n\\033]0;pty title\\007wrap-this-long-line-now\\n'";
    const std::string output = outputOnPty(script, 20, 6);
    ASSERT_FALSE(output.empty());

    RecordingDelegate delegate;
    Terminal terminal(&delegate, optionsOfSize(20, 6));
    terminal.feedString(output);
    EXPECT_EQ(screenText(terminal),
              (std::vector<std::string>{"one     two", "bold caf\u00e9 e\u0301", "\u250c\u2500\u2500\u2510",
                                        "wrap-this-long-line-", "now", ""}));
    EXPECT_EQ(delegate.titles, std::vector<std::string>{"pty title"});
}
