#include "Kestrix/process/LocalProcess.h"
#include "tests/Kestrix/process/ProcessTestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <random>
#include <signal.h>
#include <sstream>
#include <unistd.h>

namespace kestrix {
namespace {

using namespace std::chrono_literals;
using testing::isOurChild;
using testing::openDescriptors;
using testing::runFor;
using testing::runUntil;
using testing::withoutCarriageReturns;

std::span<const uint8_t> bytesOf(const std::string &text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

class Recorder : public LocalProcessDelegate {
public:
    void processDidExit(LocalProcess &, std::optional<int32_t> exitCode) override
    {
        exits.push_back(exitCode);
        receivedAtExit = received.size();
    }

    void processDidReceive(LocalProcess &source, std::span<const uint8_t> bytes) override
    {
        received.append(bytes.begin(), bytes.end());
        ++chunks;
        if (onReceive) {
            onReceive(source, bytes);
        }
    }

    winsize processWindowSize(LocalProcess &) override { return size; }

    std::string text() const { return withoutCarriageReturns(received); }

    std::string received;
    int chunks = 0;
    size_t receivedAtExit = 0;
    std::vector<std::optional<int32_t>> exits;
    winsize size{24, 80, 0, 0};
    std::function<void(LocalProcess &, std::span<const uint8_t>)> onReceive;
};

// Counts the tasks posted to and run on a manual queue.
class CountingQueue final : public TaskQueue {
public:
    void async(Task task) override
    {
        ++posted;
        inner.async([this, task = std::move(task)] {
            ++ran;
            task();
        });
    }
    void asyncAfter(std::chrono::milliseconds delay, Task task) override
    {
        inner.asyncAfter(delay, std::move(task));
    }

    ManualTaskQueue inner;
    std::atomic<int> posted{0};
    int ran = 0;
};

class LocalProcessTest : public ::testing::Test {
protected:
    bool runUntilExit()
    {
        size_t before = recorder.exits.size();
        return runUntil(queue, [&] { return recorder.exits.size() > before; });
    }

    std::string shellOutput(const std::string &script)
    {
        process.startProcess("/bin/sh", {"-c", script});
        EXPECT_TRUE(runUntilExit());
        return recorder.text();
    }

    ManualTaskQueue queue;
    Recorder recorder;
    LocalProcess process{&recorder, queue};
};

TEST_F(LocalProcessTest, ArgumentZeroIsTheExecutableUnlessAnExecNameIsGiven)
{
    struct Case {
        std::optional<std::string> execName;
        std::string expected;
    };
    for (const Case &c : {Case{std::nullopt, "/bin/sh"}, Case{"kestrix-probe", "kestrix-probe"}}) {
        Recorder recorder;
        LocalProcess process(&recorder, queue);
        process.startProcess("/bin/sh", {"-c", "printf '%s' \"$0\""}, std::nullopt, c.execName);
        ASSERT_TRUE(runUntil(queue, [&] { return !recorder.exits.empty(); }));
        EXPECT_EQ(recorder.received, c.expected);
    }
}

TEST_F(LocalProcessTest, ChildGetsTheDefaultTerminalEnvironmentAndNothingElse)
{
    ::setenv("KESTRIX_NOT_INHERITED", "1", 1);
    process.startProcess("/usr/bin/env");
    ASSERT_TRUE(runUntilExit());
    std::string environment = recorder.text();
    EXPECT_EQ(environment.rfind("TERM=xterm-256color\nCOLORTERM=truecolor\nLANG=en_US.UTF-8\n", 0), 0u)
        << environment;
    EXPECT_EQ(environment.find("KESTRIX_NOT_INHERITED"), std::string::npos);
    EXPECT_EQ(environment.find("PATH="), std::string::npos);
    if (const char *home = std::getenv("HOME")) {
        EXPECT_NE(environment.find(std::string("\nHOME=") + home + "\n"), std::string::npos);
    }
    ::unsetenv("KESTRIX_NOT_INHERITED");
}

TEST_F(LocalProcessTest, GivenEnvironmentReplacesTheDefault)
{
    process.startProcess("/usr/bin/env", {}, std::vector<std::string>{"ONLY=this"});
    ASSERT_TRUE(runUntilExit());
    EXPECT_EQ(recorder.text(), "ONLY=this\n");
}

TEST_F(LocalProcessTest, ChildSeesTheDelegatesWindowSizeAndTheGivenDirectory)
{
    recorder.size = winsize{31, 97, 0, 0};
    process.startProcess("/bin/sh", {"-c", "stty size; pwd"}, std::nullopt, std::nullopt, "/usr/share");
    ASSERT_TRUE(runUntilExit());
    EXPECT_EQ(recorder.text(), "31 97\n/usr/share\n");
}

TEST_F(LocalProcessTest, ExitReportCarriesTheStatusWordWaitpidGave)
{
    struct Case {
        std::string executable;
        std::vector<std::string> args;
        int32_t status;
    };
    const Case cases[] = {
        {"/bin/sh", {"-c", "exit 0"}, 0},
        {"/bin/sh", {"-c", "exit 3"}, 3 << 8},
        {"/nonexistent/program", {}, 127 << 8},
        {"/bin/sh", {"-c", "kill -KILL $$"}, SIGKILL},
    };
    for (const Case &c : cases) {
        Recorder recorder;
        LocalProcess process(&recorder, queue);
        process.startProcess(c.executable, c.args);
        ASSERT_TRUE(runUntil(queue, [&] { return !recorder.exits.empty(); })) << c.executable;
        ASSERT_EQ(recorder.exits.size(), 1u);
        EXPECT_EQ(recorder.exits[0], c.status) << c.executable << " " << (c.args.empty() ? "" : c.args[1]);
        EXPECT_FALSE(process.running());
        EXPECT_EQ(process.childfd(), -1);
    }
}

TEST_F(LocalProcessTest, OutputWrittenBeforeExitIsDeliveredBeforeTheExitReport)
{
    std::string expected;
    for (int i = 1; i <= 3000; ++i) {
        expected += std::to_string(i) + "\n";
    }
    for (int attempt = 0; attempt < 10; ++attempt) {
        Recorder recorder;
        LocalProcess process(&recorder, queue);
        process.startProcess("/usr/bin/seq", {"1", "3000"});
        ASSERT_TRUE(runUntil(queue, [&] { return !recorder.exits.empty(); }));
        EXPECT_EQ(recorder.receivedAtExit, recorder.received.size());
        ASSERT_EQ(recorder.text(), expected) << "attempt " << attempt;
    }
}

TEST_F(LocalProcessTest, ExitIsReportedWhileADescendantKeepsTheTerminalOpen)
{
    // The descendant ignores the hang-up, so the terminal stays open after the shell has gone.
    process.startProcess("/bin/sh", {"-c", "trap '' HUP; sleep 3 & printf done"});
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runUntilExit());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(recorder.exits[0], 0);
    EXPECT_EQ(recorder.received, "done");
}

TEST_F(LocalProcessTest, SecondStartWhileRunningIsIgnored)
{
    process.startProcess("/bin/sh", {"-c", "read line; printf first"});
    ASSERT_TRUE(process.running());
    pid_t first = process.shellPid();
    int firstFd = process.childfd();
    process.startProcess("/bin/sh", {"-c", "printf second"});
    EXPECT_EQ(process.shellPid(), first);
    EXPECT_EQ(process.childfd(), firstFd);
    process.send(bytesOf("\n"));
    ASSERT_TRUE(runUntilExit());
    EXPECT_EQ(recorder.exits.size(), 1u);
    EXPECT_NE(recorder.text().find("first"), std::string::npos);
    EXPECT_EQ(recorder.text().find("second"), std::string::npos);
}

TEST_F(LocalProcessTest, StartsAgainAfterTheChildExited)
{
    EXPECT_EQ(shellOutput("printf one"), "one");
    EXPECT_EQ(shellOutput("printf two"), "onetwo");
    EXPECT_EQ(recorder.exits.size(), 2u);
}

TEST_F(LocalProcessTest, ExitReportMayStartTheNextChild)
{
    struct Restarting : Recorder {
        void processDidExit(LocalProcess &source, std::optional<int32_t> exitCode) override
        {
            Recorder::processDidExit(source, exitCode);
            EXPECT_FALSE(source.running());
            if (exits.size() == 1) {
                source.startProcess("/bin/sh", {"-c", "printf second"});
            }
        }
    } restarting;
    LocalProcess process(&restarting, queue);
    process.startProcess("/bin/sh", {"-c", "printf first"});
    ASSERT_TRUE(runUntil(queue, [&] { return restarting.exits.size() == 2; }));
    EXPECT_EQ(restarting.received, "firstsecond");
}

TEST_F(LocalProcessTest, SendsReachTheChildAndAreNumbered)
{
    process.startProcess("/bin/sh", {"-c", "stty -echo; read a; read b; printf '<%s|%s>' \"$a\" \"$b\""});
    process.send(bytesOf("hello\n"));
    process.send(bytesOf("world\n"));
    ASSERT_TRUE(runUntilExit());
    EXPECT_NE(recorder.received.find("<hello|world>"), std::string::npos) << recorder.received;
    EXPECT_EQ(process.sendCount(), 2);
    EXPECT_EQ(process.total(), 12);
}

TEST_F(LocalProcessTest, SendsBeforeStartOrAfterStopAreIgnored)
{
    process.send(bytesOf("early"));
    EXPECT_EQ(process.sendCount(), 0);
    process.startProcess("/bin/cat");
    process.stop();
    process.send(bytesOf("late"));
    EXPECT_EQ(process.sendCount(), 0);
    EXPECT_EQ(process.total(), 0);
}

TEST_F(LocalProcessTest, InputForAChildThatNeverReadsIsBounded)
{
    process.startProcess("/bin/sh", {"-c", "stty -echo; exec sleep 30"});
    std::vector<uint8_t> megabyte(1 << 20, 'x');
    for (int i = 0; i < 40; ++i) {
        process.send(megabyte);
        EXPECT_LE(process.pendingWriteBytes(), LocalProcess::pendingWriteLimitBytes);
    }
    EXPECT_EQ(process.sendCount(), 40);
    EXPECT_GE(process.pendingWriteBytes(), LocalProcess::pendingWriteLimitBytes - (1 << 20));
    pid_t child = process.shellPid();
    process.stop(); // returns although the writer is blocked on a full terminal
    EXPECT_TRUE(runUntil(queue, [&] { return !isOurChild(child); }));
}

TEST_F(LocalProcessTest, ReadingPausesAtFourMebibytesPendingAndEveryByteArrivesInOrder)
{
    constexpr size_t size = 10 * 1024 * 1024;
    std::string data(size, '\0');
    std::mt19937 random(7);
    for (char &byte : data) {
        byte = static_cast<char>(random());
    }
    auto path = std::filesystem::temp_directory_path() / ("kestrix-flood-" + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));

    int64_t largestPending = 0;
    bool sawResume = false;
    recorder.onReceive = [&](LocalProcess &source, std::span<const uint8_t>) {
        largestPending = std::max(largestPending, source.pendingBytes());
        sawResume = sawResume || !source.readSuspendedForBackpressure();
    };
    process.startProcess("/bin/sh", {"-c", "stty raw -echo && exec cat " + path.string()});

    // Nothing is delivered while the queue does not run, so reading must stop by itself.
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!process.readSuspendedForBackpressure() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(process.readSuspendedForBackpressure());
    int64_t pausedAt = process.pendingBytes();
    EXPECT_GE(pausedAt, LocalProcess::pendingHighWaterBytes);
    EXPECT_LT(pausedAt, LocalProcess::pendingHighWaterBytes + LocalProcess::readSize);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(process.pendingBytes(), pausedAt);

    ASSERT_TRUE(runUntilExit());
    std::filesystem::remove(path);
    EXPECT_TRUE(sawResume);
    EXPECT_LT(largestPending, LocalProcess::pendingHighWaterBytes + LocalProcess::readSize);
    ASSERT_EQ(recorder.received.size(), size);
    EXPECT_TRUE(recorder.received == data);
    EXPECT_EQ(process.pendingBytes(), 0);
}

TEST_F(LocalProcessTest, DrainYieldsToTheQueueAfterFourMilliseconds)
{
    struct Case {
        std::chrono::milliseconds costPerChunk;
        bool onePerDrain;
    };
    for (const Case &c : {Case{5ms, true}, Case{0ms, false}}) {
        CountingQueue counting;
        Recorder recorder;
        LocalProcess process(&recorder, counting);
        std::vector<int> drainsRunAtDelivery;
        recorder.onReceive = [&](LocalProcess &, std::span<const uint8_t>) {
            drainsRunAtDelivery.push_back(counting.ran);
            std::this_thread::sleep_for(c.costPerChunk);
        };
        process.startProcess("/bin/sh", {"-c", "stty raw; head -c 65536 /dev/zero; sleep 0.3"});
        // Let everything be read before the first drain runs.
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (process.pendingBytes() < 65536 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(process.pendingBytes(), 65536);
        ASSERT_TRUE(runUntil(counting.inner, [&] { return !recorder.exits.empty(); }));
        ASSERT_GE(drainsRunAtDelivery.size(), 4u);
        std::set<int> drains(drainsRunAtDelivery.begin(), drainsRunAtDelivery.end());
        if (c.onePerDrain) {
            EXPECT_EQ(drains.size(), drainsRunAtDelivery.size());
        } else {
            EXPECT_LT(drains.size(), drainsRunAtDelivery.size()); // some drain delivered several chunks
        }
    }
}

TEST_F(LocalProcessTest, OnAnotherQueueEachChunkIsHandedOverBeforeTheNextRead)
{
    CountingQueue counting;
    Recorder recorder;
    LocalProcess process(&recorder, counting, false);
    process.startProcess("/bin/sh", {"-c", "stty raw; seq 1 100000"});
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (counting.posted == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counting.posted, 1); // the reader waits for the first hand-off
    EXPECT_EQ(process.pendingBytes(), 0);
    ASSERT_TRUE(runUntil(counting.inner, [&] { return !recorder.exits.empty(); }));
    std::string expected;
    for (int i = 1; i <= 100000; ++i) {
        expected += std::to_string(i) + "\n";
    }
    EXPECT_EQ(recorder.received, expected);
}

TEST_F(LocalProcessTest, LoggingDirectoryGetsOneNumberedFilePerChunk)
{
    auto directory = std::filesystem::temp_directory_path() / ("kestrix-log-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    process.setLoggingDirectory(directory.string());
    // The child waits for a line before each further chunk, so the three cannot arrive as one read.
    process.startProcess("/bin/sh", {"-c", "stty -echo; printf a; read x; printf b; read x; printf c"});
    for (const char *seen : {"a", "ab"}) {
        ASSERT_TRUE(runUntil(queue, [&] { return recorder.received == seen; }));
        process.send(bytesOf("\n"));
    }
    ASSERT_TRUE(runUntilExit());
    ASSERT_EQ(recorder.chunks, 3);
    EXPECT_EQ(process.logFileCounter(), 3);
    for (const auto &[name, content] : {std::pair{"log-0", "a"}, {"log-1", "b"}, {"log-2", "c"}}) {
        std::ifstream file(directory / name);
        std::stringstream read;
        read << file.rdbuf();
        EXPECT_EQ(read.str(), content) << name;
    }
    std::filesystem::remove_all(directory);
}

TEST_F(LocalProcessTest, DumpNeverWaitsOnAFifoPlantedInTheLoggingDirectory)
{
    auto directory = std::filesystem::temp_directory_path() / ("kestrix-fifo-" + std::to_string(::getpid()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    ASSERT_EQ(::mkfifo((directory / "log-0").c_str(), 0600), 0);
    process.setLoggingDirectory(directory.string());
    ::testing::internal::CaptureStdout();
    process.startProcess("/bin/sh", {"-c", "printf data"});
    const bool exited = runUntilExit();
    const std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(exited);
    EXPECT_EQ(recorder.received, "data");
    EXPECT_EQ(process.logFileCounter(), 0);
    EXPECT_NE(printed.find("Got error while logging data dump to " + (directory / "log-0").string()),
              std::string::npos)
        << printed;
    std::filesystem::remove_all(directory);
}

TEST_F(LocalProcessTest, FailedDumpIsPrintedAndReadingGoesOn)
{
    process.setLoggingDirectory("/nonexistent/kestrix-logs");
    ::testing::internal::CaptureStdout();
    process.startProcess("/bin/sh", {"-c", "printf data"});
    bool exited = runUntilExit();
    std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(exited);
    EXPECT_EQ(recorder.received, "data");
    EXPECT_EQ(process.logFileCounter(), 0);
    EXPECT_NE(printed.find("Got error while logging data dump to /nonexistent/kestrix-logs/log-0: "),
              std::string::npos)
        << printed;
}

TEST_F(LocalProcessTest, DebugTracesShowReadsAndNumberedSends)
{
    process.setDebugIO(true);
    ::testing::internal::CaptureStdout();
    process.startProcess("/bin/sh", {"-c", "stty -echo; read line; printf ok"});
    process.send(bytesOf("hi\n"));
    bool exited = runUntilExit();
    std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(exited);
    EXPECT_NE(printed.find("[SEND-0] Queuing data to client: [104, 105, 10] \n"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("[SEND-0] completed bytes=3\n"), std::string::npos) << printed;
    // The terminal may echo the input before the child turns echo off, so the chunks vary.
    EXPECT_NE(printed.find("[READ] count="), std::string::npos) << printed;
    std::string lastRead = " received from host total=" + std::to_string(recorder.received.size()) + "\n";
    EXPECT_NE(printed.find(lastRead), std::string::npos) << printed;
}

TEST_F(LocalProcessTest, StopEndsTheChildWithoutAnExitReportAndLeavesNoZombie)
{
    process.startProcess("/bin/sleep", {"30"});
    pid_t child = process.shellPid();
    ASSERT_TRUE(isOurChild(child));
    process.stop();
    EXPECT_FALSE(process.running());
    EXPECT_EQ(process.childfd(), -1);
    EXPECT_TRUE(runUntil(queue, [&] { return !isOurChild(child); }));
    runFor(queue, 100ms);
    EXPECT_TRUE(recorder.exits.empty());
    process.stop(); // a second stop has no child to signal
}

TEST_F(LocalProcessTest, StopSendsTerminate)
{
    auto marker = std::filesystem::temp_directory_path() / ("kestrix-term-" + std::to_string(::getpid()));
    std::filesystem::remove(marker);
    // Hang-ups are ignored, so only the terminate signal can write the marker.
    process.startProcess("/bin/sh", {"-c", "trap '' HUP; trap 'echo term > " + marker.string() +
                                               "; exit 0' TERM; printf ready; while :; do sleep 0.05; done"});
    ASSERT_TRUE(runUntil(queue, [&] { return recorder.received == "ready"; }));
    pid_t child = process.shellPid();
    process.stop();
    EXPECT_TRUE(runUntil(queue, [&] { return !isOurChild(child); }));
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
    EXPECT_TRUE(recorder.exits.empty());
}

TEST_F(LocalProcessTest, ChildThatIgnoresTerminationIsStillReapedWhenItEnds)
{
    process.startProcess("/bin/sh", {"-c", "trap '' TERM HUP; printf ready; sleep 0.3"});
    pid_t child = process.shellPid();
    ASSERT_TRUE(runUntil(queue, [&] { return recorder.received == "ready"; }));
    process.stop();
    EXPECT_TRUE(isOurChild(child));
    EXPECT_TRUE(runUntil(queue, [&] { return !isOurChild(child); }));
    EXPECT_TRUE(recorder.exits.empty());
}

TEST_F(LocalProcessTest, ReleasedProcessLeavesNoZombie)
{
    pid_t child;
    {
        LocalProcess released(&recorder, queue);
        released.startProcess("/bin/sleep", {"30"});
        child = released.shellPid();
    }
    // Closing the terminal hangs the child up; the exit watcher reaps it.
    EXPECT_TRUE(runUntil(queue, [&] { return !isOurChild(child); }));
    EXPECT_TRUE(recorder.exits.empty());
}

TEST_F(LocalProcessTest, DelegateMayReleaseTheProcessWhileOutputIsDelivered)
{
    auto owned = std::make_unique<LocalProcess>(&recorder, queue);
    recorder.onReceive = [&](LocalProcess &, std::span<const uint8_t>) { owned.reset(); };
    // The child waits for input after "a", so "a" always arrives alone however loaded the machine.
    owned->startProcess("/bin/sh", {"-c", "printf a; read line; printf b"});
    EXPECT_TRUE(runUntil(queue, [&] { return owned == nullptr; }));
    runFor(queue, 300ms);
    EXPECT_EQ(recorder.received, "a");
}

TEST_F(LocalProcessTest, NoDescriptorOutlivesAChild)
{
    auto before = openDescriptors();
    EXPECT_EQ(shellOutput("printf x"), "x");
    EXPECT_EQ(openDescriptors(), before);
    process.startProcess("/bin/sleep", {"30"});
    process.stop();
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
} // namespace kestrix
