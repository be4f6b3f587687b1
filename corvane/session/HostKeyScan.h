#pragma once

#include "corvane/session/BoundedProcessRun.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvane {

// One run of ssh-keyscan for a host, without blocking the event loop. Its error stream goes
// to the null device, so a chatty server cannot stall it; its output is bounded.
class HostKeyScan : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maximumOutputSize = 1024 * 1024;
    static constexpr int timeoutMilliseconds = 60000;

    // A scan still running is killed when the scan is destroyed.
    HostKeyScan(const QString &sshKeyscanPath, const QString &host, int64_t port);

    // The scanned key block; empty when the scan failed or printed only white space.
    const std::optional<QString> &result() const { return result_; }

signals:
    void finished();

private:
    void runFinished(bool succeeded);

    BoundedProcessRun run_;
    std::optional<QString> result_;
};

} // namespace corvane
