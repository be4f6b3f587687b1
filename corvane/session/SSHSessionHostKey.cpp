#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/HostKeyError.h"
#include "corvane/session/HostKeyScan.h"
#include "corvane/session/SSHSession.h"

#include <QTimer>

namespace corvane {

void SSHSession::setHostKeyInfo(const std::optional<HostKeyInfo> &info)
{
    if (hostKeyInfo_ == info) {
        return;
    }
    hostKeyInfo_ = info;
    emit hostKeyInfoChanged();
    if (!hostKeyInfo_ && awaitingHostKeyDecision_) {
        // The prompt was answered "Reject" or dismissed. Its handler sets the state right
        // after clearing the key, so the attempt ends once that handler has returned.
        awaitingHostKeyDecision_ = false;
        const uint64_t attempt = attempt_;
        QTimer::singleShot(0, this, [this, attempt] { hostKeyDismissed(attempt); });
    }
}

QString SSHSession::hostKeyHost() const
{
    return profile_->hostname().isEmpty() ? profile_->sshAlias() : profile_->hostname();
}

void SSHSession::checkHostKey()
{
    const QString host = hostKeyHost();
    // A leading dash would make ssh-keygen or ssh-keyscan read the host as an option.
    if (host.startsWith(QLatin1Char('-'))) {
        setState(SessionState::failed(QStringLiteral("Invalid destination: ") + host));
        return;
    }
    if (hostKeyVerifier_.isHostKnown(host, profile_->port())) {
        launchAfterHostKey();
        return;
    }
    hostKeyScan_ = std::make_unique<HostKeyScan>(configuration_.sshKeyscanPath, host, profile_->port());
    QObject::connect(hostKeyScan_.get(), &HostKeyScan::finished, this, &SSHSession::hostKeyScanFinished);
}

void SSHSession::hostKeyScanFinished()
{
    if (sender() != hostKeyScan_.get()) {
        return;
    }
    const std::optional<QString> keyBlock = hostKeyScan_->result();
    const QString host = hostKeyHost();
    if (!keyBlock) {
        setState(SessionState::failed(HostKeyError::scanFailed(host).errorDescription()));
        return;
    }
    setHostKeyInfo(HostKeyInfo{QUuid::createUuid(), host, profile_->port(), *keyBlock});
    awaitingHostKeyDecision_ = true;
}

void SSHSession::hostKeyDismissed(uint64_t attempt)
{
    if (attempt != attempt_) {
        return; // the session disconnected or started another attempt meanwhile
    }
    setState(SessionState::failed(HostKeyError::rejected(hostKeyHost()).errorDescription()));
}

void SSHSession::trustHostKeyAndConnect()
{
    if (!hostKeyInfo_ || !awaitingHostKeyDecision_) {
        return;
    }
    if (std::optional<QString> error = hostKeyVerifier_.appendToKnownHosts(hostKeyInfo_->rawKeyBlock)) {
        // The key stays offered, so the user can answer again.
        setState(SessionState::failed(*error));
        return;
    }
    awaitingHostKeyDecision_ = false; // final: no later answer undoes it
    setHostKeyInfo(std::nullopt);
    launchAfterHostKey();
}

void SSHSession::rejectHostKey()
{
    if (!hostKeyInfo_ || !awaitingHostKeyDecision_) {
        return;
    }
    setHostKeyInfo(std::nullopt);
    setState(SessionState::idle());
}

// Ends whatever the host-key step of an earlier attempt still has going: the scan is
// stopped and a pending key is withdrawn without counting as an answer.
void SSHSession::endHostKeyStep()
{
    if (hostKeyScan_) {
        // Possibly inside the scan's own signal: it is deleted (and its process killed) from
        // the event loop.
        QObject::disconnect(hostKeyScan_.get(), nullptr, this, nullptr);
        hostKeyScan_.release()->deleteLater();
    }
    awaitingHostKeyDecision_ = false;
    setHostKeyInfo(std::nullopt);
}

} // namespace corvane
