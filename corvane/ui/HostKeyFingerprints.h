#pragma once

#include "corvane/session/BoundedProcessRun.h"

#include <QObject>
#include <QStringList>

namespace corvane {

// The SHA256 fingerprints of a block of known-hosts lines, worked out by `ssh-keygen -lf -`
// without blocking the event loop. The key block goes in on standard input; the output is
// bounded and read only once the program has ended.
class HostKeyFingerprints : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maximumOutputSize = 64 * 1024;
    static constexpr int timeoutMilliseconds = 10000;

    // A run still going is killed when this is destroyed.
    HostKeyFingerprints(const QString &sshKeygenPath, const QString &keyBlock, QObject *parent = nullptr);

    // One "TYPE SHA256:…" line per key, in the block's order; empty until finished, and after
    // a failure.
    const QStringList &fingerprints() const { return fingerprints_; }
    bool isFinished() const { return run_.isFinished(); }

    // The key type and fingerprint of each line ssh-keygen printed ("256 SHA256:… comment (ED25519)").
    static QStringList parseFingerprints(const QByteArray &output);

signals:
    void finished();

private:
    void runFinished(bool succeeded);

    BoundedProcessRun run_;
    QStringList fingerprints_;
};

} // namespace corvane
