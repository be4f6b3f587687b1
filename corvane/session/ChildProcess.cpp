#include "corvane/session/ChildProcess.h"

#include "Kestrix/process/PseudoTerminalHelpers.h"

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

using kestrix::PseudoTerminalHelpers;

QString launchErrorText(const QString &program, int error)
{
    return program + QStringLiteral(": ") + qt_error_string(error);
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
    const std::string programPath = program.toStdString();
    std::vector<std::string> argumentStrings{programPath};
    for (const QString &argument : arguments) {
        argumentStrings.push_back(argument.toStdString());
    }
    std::vector<std::string> environmentStrings;
    for (const QByteArray &entry : environment) {
        environmentStrings.push_back(entry.toStdString());
    }
    const auto argv = PseudoTerminalHelpers::cStringArray(argumentStrings);
    const auto envp = PseudoTerminalHelpers::cStringArray(environmentStrings);
    if (!argv || !envp || programPath.find('\0') != std::string::npos) {
        return ChildLaunchError{launchErrorText(program, EINVAL)}; // C strings cannot carry a NUL byte
    }
    const PseudoTerminalHelpers::Started started =
        PseudoTerminalHelpers::startOnTerminal(terminalFD, programPath.c_str(), argv->data(), envp->data(), nullptr);
    if (started.pid < 0) {
        return ChildLaunchError{launchErrorText(program, started.error)};
    }
    const pid_t pid = started.pid;
    if (started.launchError != 0) {
        int status = 0;
        waitBlocking(pid, &status);
        return ChildLaunchError{launchErrorText(program, started.launchError)};
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
