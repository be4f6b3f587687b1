#pragma once

#include "corvane/session/HostKeyInfo.h"
#include "corvane/session/HostKeyVerifier.h"
#include "corvane/session/HostOutputSink.h"
#include "corvane/session/PTYBridge.h"
#include "corvane/session/SSHArgumentBuilder.h"
#include "corvane/session/SSHSessionConfiguration.h"
#include "corvane/session/SessionState.h"

#include <QByteArray>
#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace corvane {

class AuditSink;
class ChildProcess;
class HostKeyScan;
class ServerProfile;

// One SSH connection to one server profile: /usr/bin/ssh on a pseudo-terminal, its output
// handed to a terminal view, the user's bytes written back. Everything runs on the main
// thread: the pseudo-terminal is read and written through socket notifiers and the child's
// exit arrives through a process descriptor, so no thread ever blocks on a descriptor.
class SSHSession : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype readChunkSize = 4096;
    // Bytes waiting for the pseudo-terminal beyond this are dropped, so a host that stops
    // reading cannot make the window block or grow without bound.
    static constexpr qsizetype maximumPendingInput = 16 * 1024 * 1024;

    explicit SSHSession(std::shared_ptr<ServerProfile> profile, SSHSessionConfiguration configuration = {});
    ~SSHSession() override;

    const QUuid &id() const { return id_; }
    const std::shared_ptr<ServerProfile> &profile() const { return profile_; }

    const SessionState &state() const { return state_; }
    void setState(const SessionState &state);
    const QString &title() const { return title_; }
    void setTitle(const QString &title);
    // The scanned key awaiting the user's decision.
    const std::optional<HostKeyInfo> &hostKeyInfo() const { return hostKeyInfo_; }
    void setHostKeyInfo(const std::optional<HostKeyInfo> &info);
    const std::weak_ptr<HostOutputSink> &terminalView() const { return terminalView_; }
    void setTerminalView(std::weak_ptr<HostOutputSink> view);

    const SSHSessionConfiguration &configuration() const { return configuration_; }
    const PTYBridge &pty() const { return pty_; }
    const SSHArgumentBuilder &argBuilder() const { return argBuilder_; }
    // The running ssh client, or null.
    const ChildProcess *process() const { return process_.get(); }
    // Whether output is being read (the read loop is running).
    bool isReading() const;
    qsizetype pendingInputSize() const { return pendingInput_.size() - pendingInputOffset_; }

    // One connection attempt; does nothing while one is under way or connected. It passes
    // the host-key step first: a known key goes on to ssh, an unknown one is scanned and
    // waits for the user's decision.
    void connect();
    // The answer "Trust and Connect": records the pending key and starts ssh, once.
    void trustHostKeyAndConnect();
    // The answer "Reject": ends the attempt as failed. Does nothing once a decision was made.
    void rejectHostKey();
    // Opens the pseudo-terminal and starts ssh; the error text when that fails.
    std::optional<QString> launchSSH();
    // Writes the bytes, in order and completely, while connected; otherwise drops them.
    // Whether the bytes were taken.
    bool send(QByteArrayView bytes);
    void disconnect();
    void handleOutput(QByteArrayView chunk);

    // The window size in cells: applied now when the pseudo-terminal is open, and to every
    // pseudo-terminal opened later, before ssh starts.
    void setWindowSize(int rows, int columns);

signals:
    void stateChanged();
    void titleChanged();
    void hostKeyInfoChanged();

private:
    AuditSink &auditSink() const;
    QString hostKeyHost() const;
    void checkHostKey();
    void hostKeyScanFinished();
    void hostKeyDismissed(uint64_t attempt);
    void launchAfterHostKey();
    void endHostKeyStep();
    void audit(const QString &action);
    void startReading();
    void readAvailableOutput(int maximumChunks);
    void writePendingInput();
    void childExited();
    void processExited();
    void stopIO();
    void retireProcess();
    void releaseExitedProcesses();
    bool carriesChangedHostKeyWarning(QByteArrayView chunk);

    QUuid id_;
    std::shared_ptr<ServerProfile> profile_;
    SSHSessionConfiguration configuration_;
    SessionState state_ = SessionState::idle();
    QString title_;
    std::optional<HostKeyInfo> hostKeyInfo_;
    HostKeyVerifier hostKeyVerifier_;
    std::unique_ptr<HostKeyScan> hostKeyScan_;
    // Set while a published key waits for the answer; the first answer clears it.
    bool awaitingHostKeyDecision_ = false;
    // Changes with every connection attempt and disconnect; a late scan result or answer
    // for an older attempt is ignored.
    uint64_t attempt_ = 0;
    PTYBridge pty_;
    SSHArgumentBuilder argBuilder_;
    std::unique_ptr<ChildProcess> process_;
    // Children that were asked to end (or have ended) and are no longer this session's
    // connection; they are reaped without touching the session.
    std::vector<std::unique_ptr<ChildProcess>> retiredProcesses_;
    std::weak_ptr<HostOutputSink> terminalView_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QByteArray pendingInput_;
    qsizetype pendingInputOffset_ = 0;
    // The end of the previous chunk, so a warning split across two reads is still seen.
    QByteArray outputTail_;
    // Changes with every launch and teardown; work begun for an older one stops.
    uint64_t generation_ = 0;
    int windowRows_ = 24;
    int windowColumns_ = 80;
};

} // namespace corvane
