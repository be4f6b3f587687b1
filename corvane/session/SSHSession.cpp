#include "corvane/session/SSHSession.h"

#include "corvane/catalogue/AuditSink.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/ChildProcess.h"
#include "corvane/session/HostKeyScan.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>
#include <unistd.h>

extern char **environ;

namespace corvane {
namespace {

constexpr std::array<QByteArrayView, 3> addedEnvironment = {
    "TERM=xterm-256color",
    "COLORTERM=truecolor",
    "TERM_PROGRAM=Calvero",
};

constexpr std::array<QByteArrayView, 4> replacedEnvironmentNames = {
    "TERM",
    "COLORTERM",
    "TERM_PROGRAM",
    "TERM_PROGRAM_VERSION",
};

// The application's own environment with the terminal's identity set and its version removed.
std::vector<QByteArray> sshEnvironment()
{
    std::vector<QByteArray> environment;
    for (char **entry = environ; entry && *entry; ++entry) {
        const QByteArrayView text(*entry);
        const qsizetype equals = text.indexOf('=');
        const QByteArrayView name = equals < 0 ? text : text.first(equals);
        if (std::find(replacedEnvironmentNames.begin(), replacedEnvironmentNames.end(), name) ==
            replacedEnvironmentNames.end()) {
            environment.emplace_back(text.toByteArray());
        }
    }
    for (QByteArrayView entry : addedEnvironment) {
        environment.emplace_back(entry.toByteArray());
    }
    return environment;
}

// The line that changes to the profile's directory, quoted for a POSIX shell.
QByteArray changeDirectoryLine(const QString &directory)
{
    QString quoted = directory;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return (QStringLiteral("cd '") + quoted + QStringLiteral("'\n")).toUtf8();
}

} // namespace

SSHSession::SSHSession(std::shared_ptr<ServerProfile> profile, SSHSessionConfiguration configuration)
    : id_(QUuid::createUuid())
    , profile_(std::move(profile))
    , configuration_(std::move(configuration))
    , title_(profile_->displayName())
    , hostKeyVerifier_(configuration_.sshKeygenPath, configuration_.homeDirectory)
{
}

SSHSession::~SSHSession()
{
    // Unlike a plain release, the end of a session leaves no descriptor open and no child
    // running: the children are killed and reaped by their own destructors.
    hostKeyScan_.reset();
    stopIO();
    pty_.closeDescriptors();
}

void SSHSession::setState(const SessionState &state)
{
    if (state_ == state) {
        return;
    }
    state_ = state;
    emit stateChanged();
}

void SSHSession::setTitle(const QString &title)
{
    if (title_ == title) {
        return;
    }
    title_ = title;
    emit titleChanged();
}

void SSHSession::setTerminalView(std::weak_ptr<HostOutputSink> view)
{
    terminalView_ = std::move(view);
}

bool SSHSession::isReading() const
{
    return readNotifier_ && readNotifier_->isEnabled();
}

AuditSink &SSHSession::auditSink() const
{
    return configuration_.auditSink ? *configuration_.auditSink : applicationAuditSink();
}

void SSHSession::audit(const QString &action)
{
    auditSink().log(action, QStringLiteral("Connection"), RiskLevel::readOnly, *profile_);
}

void SSHSession::setWindowSize(int rows, int columns)
{
    windowRows_ = std::clamp(rows, 1, 0xFFFF);
    windowColumns_ = std::clamp(columns, 1, 0xFFFF);
    pty_.setWindowSize(windowRows_, windowColumns_);
}

void SSHSession::connect()
{
    if (state_.is(SessionState::Case::verifyingHostKey) || state_.is(SessionState::Case::connecting) ||
        state_.is(SessionState::Case::connected)) {
        return;
    }
    const uint64_t attempt = ++attempt_;
    endHostKeyStep();
    setState(SessionState::verifyingHostKey());
    if (attempt == attempt_) { // an observer may have disconnected at once
        checkHostKey();
    }
}

void SSHSession::launchAfterHostKey()
{
    const uint64_t attempt = attempt_;
    setState(SessionState::connecting());
    if (attempt != attempt_) {
        return;
    }
    if (std::optional<QString> error = launchSSH()) {
        setState(SessionState::failed(*error));
    }
}

std::optional<QString> SSHSession::launchSSH()
{
    const QString destination = profile_->sshDestination();
    // A leading dash would make ssh read the destination as an option.
    if (destination.startsWith(QLatin1Char('-'))) {
        return QStringLiteral("Invalid destination: ") + destination;
    }
    // Whatever an earlier attempt left open is closed before a new pair takes its place.
    stopIO();
    pty_.closeDescriptors();
    if (std::optional<PTYError> error = pty_.open()) {
        return error->errorDescription();
    }
    // Remote programs must never see a 0 x 0 terminal.
    pty_.setWindowSize(windowRows_, windowColumns_);

    auto started = ChildProcess::startOnTerminal(
        configuration_.sshPath, argBuilder_.buildArguments(*profile_), sshEnvironment(), pty_.slaveFD);
    if (auto *error = std::get_if<ChildLaunchError>(&started)) {
        pty_.closeDescriptors();
        return error->message;
    }
    retireProcess();
    process_ = std::move(std::get<std::unique_ptr<ChildProcess>>(started));
    QObject::connect(process_.get(), &ChildProcess::exited, this, &SSHSession::childExited);
    pty_.closeSlave();
    const uint64_t generation = ++generation_;
    startReading();
    setState(SessionState::connected());
    if (generation != generation_) {
        return std::nullopt; // an observer of the state ended the connection already
    }
    profile_->setLastConnected(QDateTime::currentDateTimeUtc());
    audit(QStringLiteral("SSH connection opened to ") + profile_->displayHost());
    if (!profile_->workingDirectory().isEmpty()) {
        send(changeDirectoryLine(profile_->workingDirectory()));
    }
    return std::nullopt;
}

void SSHSession::disconnect()
{
    ++attempt_;
    endHostKeyStep();
    ++generation_;
    if (process_) {
        process_->terminate();
    }
    stopIO();
    pty_.closeDescriptors();
    retireProcess();
    setState(SessionState::disconnected());
    audit(QStringLiteral("SSH connection closed"));
}

void SSHSession::childExited()
{
    if (sender() != process_.get()) {
        return; // a child of an earlier connection
    }
    // Everything ssh wrote before it ended is still in the pseudo-terminal: show it first.
    // The drain is bounded in case a leftover process keeps writing to the terminal.
    if (isReading()) {
        QPointer<SSHSession> alive(this);
        const uint64_t generation = generation_;
        readAvailableOutput(256);
        if (!alive || generation != generation_) {
            return; // showing the output ended the connection already
        }
    }
    processExited();
}

void SSHSession::processExited()
{
    if (state_.is(SessionState::Case::connected)) {
        setState(SessionState::disconnected());
    }
    ++generation_;
    stopIO();
    pty_.closeDescriptors();
    retireProcess();
}

void SSHSession::retireProcess()
{
    if (!process_) {
        return;
    }
    QObject::disconnect(process_.get(), &ChildProcess::exited, this, nullptr);
    // A child that ends later is let go once it has been reaped, not at the next connect.
    QObject::connect(process_.get(), &ChildProcess::exited, this, &SSHSession::releaseExitedProcesses,
                     Qt::QueuedConnection);
    retiredProcesses_.push_back(std::move(process_));
    // Possibly inside the child's own exit signal: the list is tidied from the event loop.
    QTimer::singleShot(0, this, &SSHSession::releaseExitedProcesses);
}

void SSHSession::releaseExitedProcesses()
{
    std::erase_if(retiredProcesses_,
                  [](const std::unique_ptr<ChildProcess> &child) { return child->hasExited(); });
}

} // namespace corvane
