#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

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

    HostKeyScan(const QString &sshKeyscanPath, const QString &host, int64_t port);
    // A scan still running is killed.
    ~HostKeyScan() override;

    // The scanned key block; empty when the scan failed or printed only white space.
    const std::optional<QString> &result() const { return result_; }

signals:
    void finished();

private:
    void collectOutput();
    void finish(bool succeeded);

    QProcess process_;
    QTimer deadline_;
    QByteArray output_;
    std::optional<QString> result_;
    bool done_ = false;
};

} // namespace corvane
