#include "corvane/session/HostKeyScan.h"

#include "corvane/session/HostKeyVerifier.h"

#include <QStringDecoder>

namespace corvane {

HostKeyScan::HostKeyScan(const QString &sshKeyscanPath, const QString &host, int64_t port)
{
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    connect(&process_, &QProcess::readyReadStandardOutput, this, &HostKeyScan::collectOutput);
    connect(&process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        collectOutput();
        finish(status == QProcess::NormalExit && exitCode == 0);
    });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            finish(false);
        }
    });
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(false); });
    deadline_.start(timeoutMilliseconds);
    process_.start(sshKeyscanPath, HostKeyVerifier::scanArguments(host, port));
}

HostKeyScan::~HostKeyScan()
{
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

void HostKeyScan::collectOutput()
{
    output_ += process_.readAllStandardOutput();
    if (output_.size() > maximumOutputSize) {
        finish(false);
    }
}

void HostKeyScan::finish(bool succeeded)
{
    if (done_) {
        return;
    }
    done_ = true;
    deadline_.stop();
    if (process_.state() != QProcess::NotRunning) {
        process_.disconnect(this);
        process_.kill();
        process_.waitForFinished();
    }
    if (succeeded) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(output_);
        // Output that is not UTF-8, or only white space, is no key.
        if (!decoder.hasError() && !text.trimmed().isEmpty()) {
            result_ = text;
        }
    }
    emit finished();
}

} // namespace corvane
