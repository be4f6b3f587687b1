#include "Kestrix/process/LocalProcess.h"

#include "Kestrix/core/Terminal.h"
#include "Kestrix/process/PseudoTerminalHelpers.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kestrix {

namespace {

// Once the child has ended, output still on its way (buffered by the kernel, or written by a
// descendant that keeps the terminal open) is read until the terminal is quiet this long, or until
// this much more has been read, so that the exit report neither loses the tail nor waits forever.
constexpr int quietAfterExitMs = 20;
constexpr int64_t readLimitAfterExit = 1048576;

// Direct system calls: the C library's declarations of these lack C linkage in some releases.
int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

void signalThroughPidfd(int pidFd, int signal)
{
    ::syscall(SYS_pidfd_send_signal, pidFd, signal, nullptr, 0);
}

void closeDescriptor(int &fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::string decimalList(std::span<const uint8_t> bytes)
{
    std::string text = "[";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += std::to_string(bytes[i]);
    }
    return text + "]";
}

void printLine(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::optional<int32_t> reap(pid_t pid)
{
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    if (result != pid) {
        return std::nullopt; // someone else collected it: there is no status to report
    }
    return status;
}

} // namespace

struct LocalProcess::ExitLink {
    std::mutex mutex;
    TaskQueue *queue; // null once the exit is no longer wanted
    std::weak_ptr<Liveness> owner;
    uint64_t runNumber;

    void report(std::optional<int32_t> status)
    {
        std::lock_guard lock(mutex);
        if (queue == nullptr) {
            return;
        }
        queue->async([owner = owner, runNumber = runNumber, status] {
            auto liveness = owner.lock();
            if (liveness && liveness->process) {
                liveness->process->childDidExit(runNumber, status);
            }
        });
    }

    void detach()
    {
        std::lock_guard lock(mutex);
        queue = nullptr;
    }
};

struct LocalProcess::Run {
    struct Write {
        int64_t number;
        std::vector<uint8_t> bytes;
    };

    uint64_t number = 0;
    pid_t pid = 0;
    int masterFd = -1;
    int pidFd = -1;
    int stopFd = -1; // signalled once, for good, to wake the reader and the writer
    std::shared_ptr<ExitLink> exitLink;
    std::thread reader;
    std::thread writer;

    // Guarded by pendingLock_.
    bool stopping = false;
    bool readerDone = false;
    bool handOffDone = false;
    std::deque<Write> writes;
    int64_t pendingWriteBytes = 0;

    // Owner thread only.
    bool exitKnown = false;
    std::optional<int32_t> exitStatus;

    ~Run()
    {
        closeDescriptor(masterFd);
        closeDescriptor(pidFd);
        closeDescriptor(stopFd);
    }
};

LocalProcess::LocalProcess(LocalProcessDelegate *delegate, TaskQueue &dispatchQueue, bool usesMainQueue)
    : delegate_(delegate)
    , dispatchQueue_(dispatchQueue)
    , usesMainQueue_(usesMainQueue)
    , liveness_(std::make_shared<Liveness>(Liveness{this}))
{
}

LocalProcess::~LocalProcess()
{
    liveness_->process = nullptr;
    if (run_) {
        shutDown(*run_); // the child is not signalled; closing the terminal hangs it up
        run_.reset();
    }
}

template <typename Action> void LocalProcess::post(Action action)
{
    dispatchQueue_.async([weak = std::weak_ptr<Liveness>(liveness_), action = std::move(action)]() mutable {
        auto liveness = weak.lock();
        if (liveness && liveness->process) {
            action(*liveness->process);
        }
    });
}

void LocalProcess::startProcess(const std::string &executable, const std::vector<std::string> &args,
                                const std::optional<std::vector<std::string>> &environment,
                                const std::optional<std::string> &execName,
                                const std::optional<std::string> &currentDirectory)
{
    if (running()) {
        return;
    }
    winsize size = delegate_ ? delegate_->processWindowSize(*this) : winsize{};
    std::vector<std::string> argv{execName.value_or(executable)};
    argv.insert(argv.end(), args.begin(), args.end());
    auto child = PseudoTerminalHelpers::forkAndExec(
        executable, argv, environment ? *environment : Terminal::childEnvironment("xterm-256color", true),
        currentDirectory, size);
    if (!child) {
        return;
    }

    auto run = std::make_unique<Run>();
    run->pid = child->pid;
    run->masterFd = child->masterFd;
    run->pidFd = openPidfd(child->pid);
    run->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    bool ready = run->pidFd >= 0 && run->stopFd >= 0 &&
                 ::fcntl(run->masterFd, F_SETFL, ::fcntl(run->masterFd, F_GETFL) | O_NONBLOCK) == 0;
    if (!ready) {
        // Not yet reaped, so the process id is still this child's.
        ::kill(child->pid, SIGKILL);
        reap(child->pid);
        return;
    }
    run->number = ++runCounter_;
    run->exitLink = std::make_shared<ExitLink>();
    run->exitLink->queue = &dispatchQueue_;
    run->exitLink->owner = liveness_;
    run->exitLink->runNumber = run->number;

    try {
        // Detached: it outlives a stop() or the release of this process, so no child is left a zombie.
        std::thread([link = run->exitLink, pid = child->pid] { link->report(reap(pid)); }).detach();
    } catch (const std::system_error &) {
        ::kill(child->pid, SIGKILL);
        reap(child->pid);
        return;
    }
    try {
        run->reader = std::thread(&LocalProcess::readLoop, this, std::ref(*run));
        run->writer = std::thread(&LocalProcess::writeLoop, this, std::ref(*run));
    } catch (const std::system_error &) {
        signalThroughPidfd(run->pidFd, SIGKILL);
        shutDown(*run);
        return;
    }
    childfd_ = run->masterFd;
    shellPid_ = child->pid;
    run_ = std::move(run);
}

void LocalProcess::send(std::span<const uint8_t> data)
{
    if (!run_) {
        return;
    }
    int64_t number = sendCount_++;
    if (debugIO_) {
        printLine("[SEND-" + std::to_string(number) + "] Queuing data to client: " + decimalList(data) + " ");
    }
    {
        std::lock_guard lock(pendingLock_);
        if (run_->pendingWriteBytes + static_cast<int64_t>(data.size()) > pendingWriteLimitBytes) {
            return;
        }
        run_->writes.push_back({number, std::vector<uint8_t>(data.begin(), data.end())});
        run_->pendingWriteBytes += static_cast<int64_t>(data.size());
    }
    pendingChanged_.notify_all();
}

void LocalProcess::stop()
{
    if (!run_) {
        return;
    }
    auto run = std::move(run_);
    shutDown(*run);
    closeDescriptor(run->masterFd);
    childfd_ = -1;
    // Through the pidfd, so a process id reused after the child was reaped is never hit.
    signalThroughPidfd(run->pidFd, SIGTERM);
}

void LocalProcess::setLoggingDirectory(std::optional<std::string> directory)
{
    std::lock_guard lock(pendingLock_);
    loggingDir_ = std::move(directory);
}

int64_t LocalProcess::pendingBytes() const
{
    std::lock_guard lock(pendingLock_);
    return pendingBytes_;
}

bool LocalProcess::readSuspendedForBackpressure() const
{
    std::lock_guard lock(pendingLock_);
    return readSuspendedForBackpressure_;
}

int64_t LocalProcess::pendingWriteBytes() const
{
    std::lock_guard lock(pendingLock_);
    return run_ ? run_->pendingWriteBytes : 0;
}

// Stops the reader and the writer and forgets the exit; the exit watcher goes on to reap the child.
void LocalProcess::shutDown(Run &run)
{
    run.exitLink->detach();
    {
        std::lock_guard lock(pendingLock_);
        run.stopping = true;
    }
    pendingChanged_.notify_all();
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(run.stopFd, &one, sizeof one);
    if (run.reader.joinable()) {
        run.reader.join();
    }
    if (run.writer.joinable()) {
        run.writer.join();
    }
}

// Reading ------------------------------------------------------------------------------------------

void LocalProcess::readLoop(Run &run)
{
    std::vector<uint8_t> buffer(readSize);
    bool childEnded = false;
    int64_t readSinceExit = 0;
    for (;;) {
        if (!waitUntilReadingAllowed(run)) {
            return;
        }
        pollfd fds[] = {
            {run.masterFd, POLLIN, 0}, {run.stopFd, POLLIN, 0}, {childEnded ? -1 : run.pidFd, POLLIN, 0}};
        int ready = ::poll(fds, 3, childEnded ? quietAfterExitMs : -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (fds[1].revents != 0) {
            return; // stopped: nobody wants the rest
        }
        if (ready < 0) {
            break;
        }
        if (fds[2].revents != 0) {
            childEnded = true;
        }
        if (ready == 0) {
            break; // quiet since the child ended
        }
        if (fds[0].revents == 0) {
            continue;
        }
        ssize_t count = ::read(run.masterFd, buffer.data(), buffer.size());
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (count <= 0) {
            break; // end of file; EIO means every slave side is closed
        }
        if (!handOver(run, std::vector<uint8_t>(buffer.begin(), buffer.begin() + count))) {
            return;
        }
        if (childEnded && (readSinceExit += count) >= readLimitAfterExit) {
            break;
        }
    }
    readerFinished(run);
}

bool LocalProcess::waitUntilReadingAllowed(Run &run)
{
    std::unique_lock lock(pendingLock_);
    pendingChanged_.wait(lock, [&] { return run.stopping || !readSuspendedForBackpressure_; });
    return !run.stopping;
}

bool LocalProcess::handOver(Run &run, std::vector<uint8_t> chunk)
{
    traceRead(chunk.size());
    dumpChunk(chunk);
    if (!usesMainQueue_) {
        return handOverSynchronously(run, std::move(chunk));
    }
    enqueue(std::move(chunk));
    return true;
}

void LocalProcess::traceRead(size_t count)
{
    if (!debugIO_) {
        return;
    }
    totalRead_ += static_cast<int64_t>(count);
    printLine("[READ] count=" + std::to_string(count) +
              " received from host total=" + std::to_string(totalRead_));
}

void LocalProcess::dumpChunk(const std::vector<uint8_t> &chunk)
{
    std::optional<std::string> directory;
    {
        std::lock_guard lock(pendingLock_);
        directory = loggingDir_;
    }
    if (!directory) {
        return;
    }
    std::string path = *directory + "/log-" + std::to_string(logFileCounter_);
    // Never through a link, never inherited by a child, and without waiting: a FIFO planted in the
    // directory must not stall the reader. Only a regular file gets the dump.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    bool written = fd >= 0;
    if (written) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            written = false;
        } else if (!S_ISREG(info.st_mode)) {
            written = false;
            errno = EINVAL;
        }
    }
    size_t offset = 0;
    while (written && offset < chunk.size()) {
        ssize_t count = ::write(fd, chunk.data() + offset, chunk.size() - offset);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        written = count > 0;
        offset += written ? static_cast<size_t>(count) : 0;
    }
    int error = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        printLine("Got error while logging data dump to " + path + ": " + std::strerror(error));
        return;
    }
    ++logFileCounter_;
}

void LocalProcess::enqueue(std::vector<uint8_t> chunk)
{
    bool scheduleDrain = false;
    {
        std::lock_guard lock(pendingLock_);
        pendingBytes_ += static_cast<int64_t>(chunk.size());
        pendingChunks_.push_back(std::move(chunk));
        if (pendingBytes_ >= pendingHighWaterBytes) {
            readSuspendedForBackpressure_ = true;
        }
        if (!pendingScheduled_) {
            pendingScheduled_ = true;
            scheduleDrain = true;
        }
    }
    if (scheduleDrain) {
        postDrain();
    }
}

bool LocalProcess::handOverSynchronously(Run &run, std::vector<uint8_t> chunk)
{
    uint64_t runNumber = run.number;
    {
        std::lock_guard lock(pendingLock_);
        run.handOffDone = false;
    }
    post([runNumber, chunk = std::move(chunk)](LocalProcess &self) {
        auto liveness = self.liveness_;
        self.deliver(chunk);
        if (!liveness->process) {
            return;
        }
        {
            std::lock_guard lock(self.pendingLock_);
            if (self.run_ && self.run_->number == runNumber) {
                self.run_->handOffDone = true;
            }
        }
        self.pendingChanged_.notify_all();
    });
    std::unique_lock lock(pendingLock_);
    pendingChanged_.wait(lock, [&] { return run.stopping || run.handOffDone; });
    return !run.stopping;
}

void LocalProcess::readerFinished(Run &run)
{
    {
        std::lock_guard lock(pendingLock_);
        run.readerDone = true;
    }
    post([](LocalProcess &self) { self.finishRunIfDone(); });
}

// Delivery -----------------------------------------------------------------------------------------

void LocalProcess::postDrain()
{
    post([](LocalProcess &self) { self.drain(); });
}

void LocalProcess::drain()
{
    auto start = std::chrono::steady_clock::now();
    auto liveness = liveness_;
    std::unique_lock lock(pendingLock_);
    while (pendingChunkIndex_ < pendingChunks_.size()) {
        std::vector<uint8_t> chunk = std::move(pendingChunks_[pendingChunkIndex_]);
        ++pendingChunkIndex_;
        if (pendingChunkIndex_ >= pendingChunkFlushThreshold) {
            pendingChunks_.erase(pendingChunks_.begin(),
                                 pendingChunks_.begin() + static_cast<std::ptrdiff_t>(pendingChunkIndex_));
            pendingChunkIndex_ = 0;
        }
        pendingBytes_ -= static_cast<int64_t>(chunk.size());
        bool resume = readSuspendedForBackpressure_ && pendingBytes_ <= pendingLowWaterBytes;
        if (resume) {
            readSuspendedForBackpressure_ = false;
        }
        lock.unlock();
        if (resume) {
            pendingChanged_.notify_all();
        }
        deliver(chunk);
        if (!liveness->process) {
            return;
        }
        if (std::chrono::steady_clock::now() - start >= std::chrono::nanoseconds(pendingTimeSliceNs)) {
            postDrain(); // pendingScheduled_ stays set
            return;
        }
        lock.lock();
    }
    pendingChunks_.clear();
    pendingChunkIndex_ = 0;
    pendingBytes_ = 0;
    pendingScheduled_ = false;
    lock.unlock();
    finishRunIfDone();
}

void LocalProcess::deliver(std::span<const uint8_t> bytes)
{
    if (delegate_) {
        delegate_->processDidReceive(*this, bytes);
    }
}

// Exit ---------------------------------------------------------------------------------------------

void LocalProcess::childDidExit(uint64_t runNumber, std::optional<int32_t> status)
{
    if (!run_ || run_->number != runNumber) {
        return;
    }
    run_->exitKnown = true;
    run_->exitStatus = status;
    finishRunIfDone();
}

// Reports the exit once the child has been reaped and everything read before has been delivered.
void LocalProcess::finishRunIfDone()
{
    if (!run_ || !run_->exitKnown) {
        return;
    }
    {
        std::lock_guard lock(pendingLock_);
        if (!run_->readerDone || pendingChunkIndex_ < pendingChunks_.size()) {
            return;
        }
    }
    auto run = std::move(run_);
    shutDown(*run);
    childfd_ = -1;
    auto status = run->exitStatus;
    run.reset();
    // Last: the delegate may start another child or release this process.
    if (delegate_) {
        delegate_->processDidExit(*this, status);
    }
}

// Writing ------------------------------------------------------------------------------------------

void LocalProcess::writeLoop(Run &run)
{
    for (;;) {
        Run::Write write;
        {
            std::unique_lock lock(pendingLock_);
            pendingChanged_.wait(lock, [&] { return run.stopping || !run.writes.empty(); });
            if (run.stopping) {
                return;
            }
            write = std::move(run.writes.front());
            run.writes.pop_front();
        }
        writeOne(run, write.number, write.bytes);
        std::lock_guard lock(pendingLock_);
        run.pendingWriteBytes -= static_cast<int64_t>(write.bytes.size());
    }
}

void LocalProcess::writeOne(Run &run, int64_t number, const std::vector<uint8_t> &bytes)
{
    size_t offset = 0;
    while (offset < bytes.size()) {
        ssize_t count = ::write(run.masterFd, bytes.data() + offset, bytes.size() - offset);
        if (count > 0) {
            offset += static_cast<size_t>(count);
            total_ += count;
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            pollfd fds[] = {{run.masterFd, POLLOUT, 0}, {run.stopFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) > 0 && fds[1].revents != 0) {
                return;
            }
            continue;
        }
        printLine("Error writing data to the child, errno=" + std::to_string(count < 0 ? errno : EIO));
        return;
    }
    if (debugIO_) {
        printLine("[SEND-" + std::to_string(number) + "] completed bytes=" + std::to_string(total_));
    }
}

} // namespace kestrix
