#include "corvane/session/ChildProcess.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane {
namespace {

std::vector<char *> nullTerminated(std::vector<QByteArray> &strings)
{
    std::vector<char *> pointers;
    pointers.reserve(strings.size() + 1);
    for (QByteArray &string : strings) {
        pointers.push_back(string.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

void closeAllDescriptorsFrom(int first, int keep)
{
    if (keep >= first) {
        if (keep > first) {
            ::close_range(unsigned(first), unsigned(keep - 1), 0);
        }
        ::close_range(unsigned(keep + 1), ~0U, 0);
    } else {
        ::close_range(unsigned(first), ~0U, 0);
    }
}

// Runs in the forked child: only async-signal-safe calls from here to exec.
[[noreturn]] void execOnTerminal(const char *program, char *const *argv, char *const *envp, int terminalFD,
                                 int errorPipe)
{
    ::setsid();
    // A copy above the standard numbers, so each dup2 below makes a descriptor without
    // close-on-exec even when the slave itself is 0, 1 or 2.
    const int terminal = ::fcntl(terminalFD, F_DUPFD, 3);
    if (terminal == -1 || ::ioctl(terminal, TIOCSCTTY, 0) == -1 || ::dup2(terminal, STDIN_FILENO) == -1 ||
        ::dup2(terminal, STDOUT_FILENO) == -1 || ::dup2(terminal, STDERR_FILENO) == -1) {
        const int error = errno;
        (void)!::write(errorPipe, &error, sizeof error);
        ::_exit(127);
    }
    closeAllDescriptorsFrom(3, errorPipe);

    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
        ::sigaction(signalNumber, &defaultAction, nullptr);
    }
    sigset_t empty;
    sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, &empty, nullptr);

    ::execve(program, argv, envp);
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
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

void waitBlocking(pid_t pid, int *status)
{
    while (::waitpid(pid, status, 0) == -1 && errno == EINTR) {
    }
}

} // namespace

ChildProcess::ChildProcess(pid_t pid)
    : pid_(pid)
{
}

std::variant<std::unique_ptr<ChildProcess>, ChildLaunchError>
ChildProcess::startOnTerminal(const QString &program, const QStringList &arguments,
                              const std::vector<QByteArray> &environment, int terminalFD)
{
    const QByteArray programPath = program.toUtf8();
    std::vector<QByteArray> argumentBytes{programPath};
    for (const QString &argument : arguments) {
        argumentBytes.push_back(argument.toUtf8());
    }
    std::vector<QByteArray> environmentBytes = environment;
    const std::vector<char *> argv = nullTerminated(argumentBytes);
    const std::vector<char *> envp = nullTerminated(environmentBytes);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) == -1) {
        return ChildLaunchError{program + QStringLiteral(": ") + qt_error_string(errno)};
    }
    // Signals stay blocked until the child has reset their dispositions.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(errorPipe[0]);
        execOnTerminal(programPath.constData(), argv.data(), envp.data(), terminalFD, errorPipe[1]);
    }
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(errorPipe[1]);
    if (pid == -1) {
        ::close(errorPipe[0]);
        return ChildLaunchError{program + QStringLiteral(": ") + qt_error_string(forkError)};
    }
    const int launchError = readLaunchError(errorPipe[0]);
    ::close(errorPipe[0]);
    if (launchError != 0) {
        int status = 0;
        waitBlocking(pid, &status);
        return ChildLaunchError{program + QStringLiteral(": ") + qt_error_string(launchError)};
    }
    std::unique_ptr<ChildProcess> child(new ChildProcess(pid));
    child->watchForExit();
    return child;
}

ChildProcess::~ChildProcess()
{
    exitNotifier_.reset();
    exitPoll_.reset();
    if (!exited_) {
        // The child leads its own session and process group; the group goes with it, so
        // nothing it started is left orphaned. Its id cannot be reused before the reap.
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        waitBlocking(pid_, &waitStatus_);
    }
    if (pidFD_ != -1) {
        ::close(pidFD_);
    }
}

void ChildProcess::watchForExit()
{
    // Called through syscall: the C library's declaration is not usable from C++ everywhere.
    pidFD_ = int(::syscall(SYS_pidfd_open, pid_, 0)); // close-on-exec by default
    if (pidFD_ != -1) {
        exitNotifier_ = std::make_unique<QSocketNotifier>(pidFD_, QSocketNotifier::Read);
        connect(exitNotifier_.get(), &QSocketNotifier::activated, this, &ChildProcess::reapIfExited);
        return;
    }
    exitPoll_ = std::make_unique<QTimer>();
    connect(exitPoll_.get(), &QTimer::timeout, this, &ChildProcess::reapIfExited);
    exitPoll_->start(50);
}

void ChildProcess::reapIfExited()
{
    if (exited_) {
        return;
    }
    pid_t result;
    do {
        result = ::waitpid(pid_, &waitStatus_, WNOHANG);
    } while (result == -1 && errno == EINTR);
    if (result == 0) {
        return;
    }
    // Reaped (or, should someone else have reaped it, gone): never signal this pid again.
    exited_ = true;
    // The process descriptor has told all it can; it is closed now rather than with the
    // object, which may be kept long after. This may run inside the notifier's own signal.
    if (exitNotifier_) {
        exitNotifier_->setEnabled(false);
        exitNotifier_.release()->deleteLater();
    }
    if (pidFD_ != -1) {
        ::close(pidFD_);
        pidFD_ = -1;
    }
    if (exitPoll_) {
        exitPoll_->stop();
    }
    emit exited();
}

void ChildProcess::terminate()
{
    if (!exited_) {
        ::kill(pid_, SIGTERM);
    }
}

} // namespace corvane
