#include "corvane/ui/HostKeyFingerprints.h"

namespace corvane {

HostKeyFingerprints::HostKeyFingerprints(const QString &sshKeygenPath, const QString &keyBlock,
                                         QObject *parent)
    : QObject(parent)
    , run_(maximumOutputSize, timeoutMilliseconds)
{
    connect(&run_, &BoundedProcessRun::finished, this, &HostKeyFingerprints::runFinished);
    run_.start(sshKeygenPath, {QStringLiteral("-lf"), QStringLiteral("-")}, keyBlock.toUtf8());
}

void HostKeyFingerprints::runFinished(bool succeeded)
{
    if (succeeded) {
        fingerprints_ = parseFingerprints(run_.output());
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
