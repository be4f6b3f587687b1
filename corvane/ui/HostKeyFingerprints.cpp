#include "corvane/ui/HostKeyFingerprints.h"

namespace corvane {

HostKeyFingerprints::HostKeyFingerprints(const QString &sshKeygenPath, const QString &keyBlock,
                                         QObject *parent)
    : QObject(parent)
{
    process_.setStandardErrorFile(QProcess::nullDevice());
    connect(&process_, &QProcess::readyReadStandardOutput, this, &HostKeyFingerprints::collectOutput);
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
    process_.start(sshKeygenPath, {QStringLiteral("-lf"), QStringLiteral("-")});
    process_.write(keyBlock.toUtf8());
    process_.closeWriteChannel();
}

HostKeyFingerprints::~HostKeyFingerprints()
{
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

void HostKeyFingerprints::collectOutput()
{
    const QByteArray chunk = process_.readAllStandardOutput();
    if (output_.size() + chunk.size() > maximumOutputSize) {
        finish(false);
        return;
    }
    output_ += chunk;
}

void HostKeyFingerprints::finish(bool succeeded)
{
    if (done_) {
        return;
    }
    done_ = true;
    deadline_.stop();
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
    }
    if (succeeded) {
        fingerprints_ = parseFingerprints(output_);
    }
    emit finished();
}

QStringList HostKeyFingerprints::parseFingerprints(const QByteArray &output)
{
    QStringList fingerprints;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3 || !fields[1].startsWith("SHA256:")) {
            continue;
        }
        QByteArray type = fields.last();
        if (type.startsWith('(') && type.endsWith(')')) {
            type = type.mid(1, type.size() - 2);
        } else {
            type.clear();
        }
        fingerprints.append(QString::fromUtf8(type.isEmpty() ? fields[1] : type + ' ' + fields[1]));
    }
    return fingerprints;
}

} // namespace corvane
