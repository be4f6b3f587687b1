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

void closeIfOpen(int fd)
{
    if (fd >= 0) {
        ::close(fd);
    }
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

// Makes `fd` the given standard stream. dup2 onto itself would keep the close-on-exec flag.
void installStandardStream(int slave, int stream)
{
    if (slave == stream) {
        ::fcntl(stream, F_SETFD, 0);
    } else {
        ::dup2(slave, stream);
    }
}

void closeEverythingAboveStandardStreams(int highestDescriptor)
{
    if (::close_range(3, ~0U, 0) == 0) {
        return;
    }
    for (int fd = 3; fd <= highestDescriptor; ++fd) {
        ::close(fd);
    }
}

void resetSignals()
{
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        ::sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP and reserved ones
    }
    sigset_t empty;
    sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, &empty, nullptr);
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void becomeChild(int slave, const char *path, char *const argv[], char *const envp[],
                              const char *directory, int highestDescriptor)
{
    resetSignals();
    ::setsid();
    ::ioctl(slave, TIOCSCTTY, 0);
    for (int stream = 0; stream <= 2; ++stream) {
        installStandardStream(slave, stream);
    }
    closeEverythingAboveStandardStreams(highestDescriptor);
    if (directory != nullptr) {
        [[maybe_unused]] int ignored = ::chdir(directory);
    }
    ::execve(path, argv, envp);
    ::_exit(127);
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
    long openMax = ::sysconf(_SC_OPEN_MAX);
    int highestDescriptor = openMax > 0 && openMax <= INT_MAX ? static_cast<int>(openMax) - 1 : 1023;

    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return std::nullopt;
    }
    int slave = -1;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || (slave = openSlave(master)) < 0) {
        closeIfOpen(master);
        return std::nullopt;
    }
    ::ioctl(slave, TIOCSWINSZ, &windowSize);

    pid_t pid = ::fork();
    if (pid == 0) {
        becomeChild(slave, executable.c_str(), argv->data(), envp->data(), directory, highestDescriptor);
    }
    ::close(slave);
    if (pid < 0) {
        ::close(master);
        return std::nullopt;
    }
    return Child{pid, master};
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
