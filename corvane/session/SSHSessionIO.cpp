#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace corvane {
namespace {

constexpr QByteArrayView changedHostKeyWarning = "REMOTE HOST IDENTIFICATION HAS CHANGED";

// A notifier is switched off before its descriptor closes, and is never deleted while it may
// be delivering; a new connection points it at the new descriptor.
void watch(std::unique_ptr<QSocketNotifier> &notifier, QSocketNotifier::Type type, int fd)
{
    if (!notifier) {
        notifier = std::make_unique<QSocketNotifier>(type);
    }
    notifier->setEnabled(false);
    notifier->setSocket(fd);
}

} // namespace

void SSHSession::startReading()
{
    outputTail_.clear();
    const bool created = !readNotifier_;
    watch(readNotifier_, QSocketNotifier::Read, pty_.masterFD);
    if (created) {
        QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, this,
                         [this] { readAvailableOutput(16); });
    }
    readNotifier_->setEnabled(true);
}

void SSHSession::stopIO()
{
    if (readNotifier_) {
        readNotifier_->setEnabled(false);
    }
    if (writeNotifier_) {
        writeNotifier_->setEnabled(false);
    }
    pendingInput_.clear();
    pendingInputOffset_ = 0;
}

// Reads a few chunks per wake-up, so a flooding host still lets the event loop breathe.
void SSHSession::readAvailableOutput(int maximumChunks)
{
    const uint64_t generation = generation_;
    const int fd = pty_.masterFD;
    QPointer<SSHSession> alive(this);
    char buffer[readChunkSize];
    for (int chunk = 0; chunk < maximumChunks; ++chunk) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            handleOutput(QByteArrayView(buffer, count));
            // Showing output may have closed the connection, or the whole session.
            if (!alive || generation != generation_) {
                return;
            }
            continue;
        }
        if (count == -1 && errno == EINTR) {
            continue;
        }
        if (count == -1 && errno == EAGAIN) {
            return;
        }
        // End of file (EIO once the last slave closed) or a real error: the exit of the
        // child finishes the connection.
        readNotifier_->setEnabled(false);
        return;
    }
}

bool SSHSession::carriesChangedHostKeyWarning(QByteArrayView chunk)
{
    // Searched as bytes over the end of the previous chunk and this one, so neither a split
    // across reads nor bytes that are not UTF-8 hide it.
    QByteArray window = outputTail_;
    window.append(chunk);
    const bool found = window.contains(changedHostKeyWarning);
    outputTail_ = window.right(changedHostKeyWarning.size() - 1);
    return found;
}

void SSHSession::handleOutput(QByteArrayView chunk)
{
    if (carriesChangedHostKeyWarning(chunk)) {
        disconnect();
        setState(
            SessionState::failed(QStringLiteral("Host key changed \u2014 connection blocked for security")));
        return;
    }
    if (std::shared_ptr<HostOutputSink> view = terminalView_.lock()) {
        view->feedHostOutput(chunk);
    }
}

bool SSHSession::send(QByteArrayView bytes)
{
    if (!state_.is(SessionState::Case::connected) || pty_.masterFD == -1 || bytes.isEmpty()) {
        return false;
    }
    if (bytes.size() > maximumPendingInput - pendingInputSize()) {
        return false;
    }
    pendingInput_.append(bytes);
    writePendingInput();
    return true;
}

void SSHSession::writePendingInput()
{
    while (pendingInputOffset_ < pendingInput_.size()) {
        const ssize_t count = ::write(pty_.masterFD, pendingInput_.constData() + pendingInputOffset_,
                                      size_t(pendingInput_.size() - pendingInputOffset_));
        if (count > 0) {
            pendingInputOffset_ += count;
        } else if (count == -1 && errno == EINTR) {
            continue;
        } else if (count == -1 && errno == EAGAIN) {
            break;
        } else {
            pendingInputOffset_ = pendingInput_.size(); // the terminal is gone; the bytes with it
        }
    }
    if (pendingInputOffset_ == pendingInput_.size()) {
        pendingInput_.clear();
        pendingInputOffset_ = 0;
        if (writeNotifier_) {
            writeNotifier_->setEnabled(false);
        }
        return;
    }
    if (pendingInputOffset_ > pendingInput_.size() / 2) {
        pendingInput_.remove(0, pendingInputOffset_);
        pendingInputOffset_ = 0;
    }
    if (!writeNotifier_ || writeNotifier_->socket() != pty_.masterFD) {
        const bool created = !writeNotifier_;
        watch(writeNotifier_, QSocketNotifier::Write, pty_.masterFD);
        if (created) {
            QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, this,
                             &SSHSession::writePendingInput);
        }
    }
    writeNotifier_->setEnabled(true);
}

} // namespace corvane
