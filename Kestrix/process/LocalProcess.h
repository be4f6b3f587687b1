#pragma once

#include "Kestrix/core/TaskQueue.h"
#include "Kestrix/process/LocalProcessDelegate.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrix {

// Runs one child program on a pseudo-terminal and connects it to its delegate.
//
// A reader thread reads the master and hands the output to the delivery queue; a writer thread writes
// what the owner sends; a detached exit watcher reaps the child, even after stop() or release, and
// reports its status. Every public member is called on the delivery queue's thread, and every delegate
// call arrives there. The exit is reported after the output that came before it.
class LocalProcess {
public:
    static constexpr int64_t readSize = 131072;
    static constexpr size_t pendingChunkFlushThreshold = 32;
    static constexpr uint64_t pendingTimeSliceNs = 4000000;
    static constexpr int64_t pendingHighWaterBytes = 4194304;
    static constexpr int64_t pendingLowWaterBytes = 1048576;
    // Input waiting for a child that does not read is dropped beyond this.
    static constexpr int64_t pendingWriteLimitBytes = 16777216;

    // `delegate` is not owned; its owner clears it (setDelegate) or destroys this process first.
    // `usesMainQueue` says `dispatchQueue` is the application's main queue: output then goes through
    // a back-pressured queue drained in 4 ms slices. Otherwise every chunk is handed over
    // synchronously and the next read waits for the hand-off. The queue must outlive this process.
    LocalProcess(LocalProcessDelegate *delegate, TaskQueue &dispatchQueue, bool usesMainQueue = true);
    ~LocalProcess();

    LocalProcess(const LocalProcess &) = delete;
    LocalProcess &operator=(const LocalProcess &) = delete;

    // Does nothing while running. `args` come after argument zero, which is `execName` or else
    // `executable`. Without an environment the child gets the default terminal environment.
    // A child that cannot be started is not reported.
    void startProcess(const std::string &executable, const std::vector<std::string> &args = {},
                      const std::optional<std::vector<std::string>> &environment = std::nullopt,
                      const std::optional<std::string> &execName = std::nullopt,
                      const std::optional<std::string> &currentDirectory = std::nullopt);
    // Queues bytes for the child; ignored unless running.
    void send(std::span<const uint8_t> data);
    // Closes the terminal and sends SIGTERM to the child unless it has been reaped. No exit report
    // follows; the child is still reaped in the background.
    void stop();
    // Every chunk read is written to DIR/log-N while set.
    void setLoggingDirectory(std::optional<std::string> directory);

    void setDelegate(LocalProcessDelegate *delegate) { delegate_ = delegate; }
    LocalProcessDelegate *delegate() const { return delegate_; }

    int32_t childfd() const { return childfd_; }
    int32_t shellPid() const { return shellPid_; }
    bool running() const { return run_ != nullptr; }
    bool usesMainQueue() const { return usesMainQueue_; }

    bool debugIO() const { return debugIO_; }
    void setDebugIO(bool on) { debugIO_ = on; }

    int64_t sendCount() const { return sendCount_; }
    // Bytes written to the child so far.
    int64_t total() const { return total_; }
    int64_t logFileCounter() const { return logFileCounter_; }
    int64_t pendingBytes() const;
    bool readSuspendedForBackpressure() const;
    // Bytes sent but not yet written to the child.
    int64_t pendingWriteBytes() const;

private:
    struct Run;
    struct ExitLink;
    // Lets queued tasks find out, on the queue's thread, whether this process still exists.
    struct Liveness {
        LocalProcess *process;
    };

    void readLoop(Run &run);
    bool waitUntilReadingAllowed(Run &run);
    bool handOver(Run &run, std::vector<uint8_t> chunk);
    void enqueue(std::vector<uint8_t> chunk);
    bool handOverSynchronously(Run &run, std::vector<uint8_t> chunk);
    void dumpChunk(const std::vector<uint8_t> &chunk);
    void traceRead(size_t count);
    void readerFinished(Run &run);

    void writeLoop(Run &run);
    void writeOne(Run &run, int64_t number, const std::vector<uint8_t> &bytes);

    void postDrain();
    void drain();
    void deliver(std::span<const uint8_t> bytes);
    void childDidExit(uint64_t runNumber, std::optional<int32_t> status);
    void finishRunIfDone();
    void shutDown(Run &run);
    template <typename Action> void post(Action action);

    LocalProcessDelegate *delegate_;
    TaskQueue &dispatchQueue_;
    const bool usesMainQueue_;
    std::shared_ptr<Liveness> liveness_;

    // Owner thread only.
    std::unique_ptr<Run> run_;
    uint64_t runCounter_ = 0;
    int32_t childfd_ = -1;
    int32_t shellPid_ = 0;
    int64_t sendCount_ = 0;

    std::atomic<bool> debugIO_{false};
    std::atomic<int64_t> total_{0};
    std::atomic<int64_t> logFileCounter_{0};
    int64_t totalRead_ = 0; // reader thread only

    // Guards the pending output, the logging directory and the shared fields of the current run.
    mutable std::mutex pendingLock_;
    std::condition_variable pendingChanged_;
    std::vector<std::vector<uint8_t>> pendingChunks_;
    size_t pendingChunkIndex_ = 0;
    bool pendingScheduled_ = false;
    int64_t pendingBytes_ = 0;
    bool readSuspendedForBackpressure_ = false;
    std::optional<std::string> loggingDir_;
};

} // namespace kestrix
