#include "corvane/session/HostKeyScan.h"

#include "corvane/session/HostKeyVerifier.h"

#include <QStringDecoder>

namespace corvane {

HostKeyScan::HostKeyScan(const QString &sshKeyscanPath, const QString &host, int64_t port)
    : run_(maximumOutputSize, timeoutMilliseconds)
{
    connect(&run_, &BoundedProcessRun::finished, this, &HostKeyScan::runFinished);
    run_.start(sshKeyscanPath, HostKeyVerifier::scanArguments(host, port));
}

void HostKeyScan::runFinished(bool succeeded)
{
    if (succeeded) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(run_.output());
        // Output that is not UTF-8, or only white space, is no key.
        if (!decoder.hasError() && !text.trimmed().isEmpty()) {
            result_ = text;
        }
    }
    emit finished();
}

} // namespace corvane
