#include "Kestrix/process/PseudoTerminalHelpers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace kestrix {

CStringArray::CStringArray(CStringArray &&other) noexcept
    : pointers_(std::move(other.pointers_))
{
    other.pointers_.clear();
}

CStringArray &CStringArray::operator=(CStringArray &&other) noexcept
{
    if (this != &other) {
        release();
        pointers_ = std::move(other.pointers_);
        other.pointers_.clear();
    }
    return *this;
}

CStringArray::~CStringArray()
{
    release();
}

void CStringArray::release()
{
    for (char *string : pointers_) {
        std::free(string);
    }
    pointers_.clear();
}

namespace {

bool holdsNul(const std::string &string)
{
    return string.find('\0') != std::string::npos;
}

int openSlave(int master)
{
    int slave = ::ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        return slave;
    }
    char name[PATH_MAX];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        return -1;
    }
    return ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// Closes every descriptor from 3 up except `keep`.
void closeEverythingAboveStandardStreams(int keep, int highestDescriptor)
{
    const bool closed = (keep <= 3 || ::close_range(3, static_cast<unsigned>(keep - 1), 0) == 0) &&
                        ::close_range(static_cast<unsigned>(keep + 1), ~0U, 0) == 0;
    if (closed) {
        return;
    }
    for (int fd = 3; fd <= highestDescriptor; ++fd) {
        if (fd != keep) {
            ::close(fd);
        }
    }
}

void resetDispositions()
{
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        ::sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP and reserved ones
    }
}

[[noreturn]] void reportAndExit(int errorPipe)
{
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

// Runs in the forked child, whose signals are all blocked: only async-signal-safe calls from here on.
[[noreturn]] void becomeChild(int slave, const char *path, char *const argv[], char *const envp[],
                              const char *directory, int errorPipe, int highestDescriptor)
{
    resetDispositions();
    ::setsid();
    // A copy above the standard numbers, so each dup2 below makes a descriptor without close-on-exec
    // even when the slave itself is 0, 1 or 2.
    const int terminal = ::fcntl(slave, F_DUPFD_CLOEXEC, 3);
    if (terminal == -1 || ::ioctl(terminal, TIOCSCTTY, 0) == -1) {
        reportAndExit(errorPipe);
    }
    for (int stream = 0; stream <= 2; ++stream) {
        if (::dup2(terminal, stream) == -1) {
            reportAndExit(errorPipe);
        }
    }
    closeEverythingAboveStandardStreams(errorPipe, highestDescriptor);
    if (directory != nullptr) {
        [[maybe_unused]] int ignored = ::chdir(directory);
    }
    sigset_t empty;
    sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, &empty, nullptr);
    ::execve(path, argv, envp);
    reportAndExit(errorPipe);
}

// The errno the child reported before exec, or 0 when exec succeeded (the pipe closed).
int readLaunchError(int errorPipe)
{
    int error = 0;
    ssize_t count;
    do {
        count = ::read(errorPipe, &error, sizeof error);
    } while (count == -1 && errno == EINTR);
    return count == sizeof error ? error : 0;
}

} // namespace

std::optional<PseudoTerminalHelpers::Child>
PseudoTerminalHelpers::forkAndExec(const std::string &executable, const std::vector<std::string> &args,
                                   const std::vector<std::string> &environment,
                                   const std::optional<std::string> &currentDirectory,
                                   const winsize &windowSize)
{
    auto argv = cStringArray(args);
    auto envp = cStringArray(environment);
    if (!argv || !envp || holdsNul(executable) || (currentDirectory && holdsNul(*currentDirectory))) {
        return std::nullopt;
    }
    const char *directory = currentDirectory ? currentDirectory->c_str() : nullptr;
    const Pair pty = openPair(false);
    if (pty.error != 0) {
        return std::nullopt;
    }
    ::ioctl(pty.slave, TIOCSWINSZ, &windowSize);
    // A child that cannot run the program exits with 127, which its reaper reports as its status.
    const Started started = startOnTerminal(pty.slave, executable.c_str(), argv->data(), envp->data(), directory);
    ::close(pty.slave);
    if (started.pid < 0) {
        ::close(pty.master);
        return std::nullopt;
    }
    return Child{started.pid, pty.master};
}

PseudoTerminalHelpers::Pair PseudoTerminalHelpers::openPair(bool nonBlockingMaster)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | (nonBlockingMaster ? O_NONBLOCK : 0));
    if (master < 0) {
        return {.error = errno};
    }
    int slave = -1;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || (slave = openSlave(master)) < 0) {
        const int error = errno;
        ::close(master);
        return {.error = error};
    }
    return {.master = master, .slave = slave};
}

PseudoTerminalHelpers::Started PseudoTerminalHelpers::startOnTerminal(int slave, const char *path,
                                                                      char *const argv[], char *const envp[],
                                                                      const char *directory)
{
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int highestDescriptor = openMax > 0 && openMax <= INT_MAX ? static_cast<int>(openMax) - 1 : 1023;
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) == -1) {
        return {.error = errno};
    }
    // Signals stay blocked until the child has reset their dispositions.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(errorPipe[0]);
        becomeChild(slave, path, argv, envp, directory, errorPipe[1], highestDescriptor);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(errorPipe[1]);
    if (pid < 0) {
        ::close(errorPipe[0]);
        return {.error = forkError};
    }
    const int launchError = readLaunchError(errorPipe[0]);
    ::close(errorPipe[0]);
    return {.pid = pid, .launchError = launchError};
}

int PseudoTerminalHelpers::setWindowSize(int fd, const winsize &size)
{
    return ::ioctl(fd, TIOCSWINSZ, &size);
}

PseudoTerminalHelpers::AvailableBytes PseudoTerminalHelpers::availableBytes(int fd)
{
    int count = 0;
    int result = ::ioctl(fd, FIONREAD, &count);
    return {result, count};
}

std::optional<CStringArray> PseudoTerminalHelpers::cStringArray(const std::vector<std::string> &strings)
{
    CStringArray array;
    array.pointers_.reserve(strings.size() + 1);
    for (const auto &string : strings) {
        if (holdsNul(string)) {
            return std::nullopt;
        }
        char *copy = ::strdup(string.c_str());
        if (copy == nullptr) {
            return std::nullopt; // the partial array frees what was copied
        }
        array.pointers_.push_back(copy);
    }
    array.pointers_.push_back(nullptr);
    return array;
}

} // namespace kestrix
