#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace corvane {

// One run of a helper program without blocking the event loop. Its error stream goes to the null
// device, so a chatty program cannot stall it; its output is bounded, and a run that outlives its
// deadline is killed and fails.
class BoundedProcessRun : public QObject {
    Q_OBJECT

public:
    BoundedProcessRun(qsizetype maximumOutputSize, int timeoutMilliseconds);
    // A run still going is killed.
    ~BoundedProcessRun() override;

    // Starts `program`; `input`, when given, is written to its standard input, which is then closed.
    // Without it standard input is the null device.
    void start(const QString &program, const QStringList &arguments,
               const std::optional<QByteArray> &input = std::nullopt);

    bool isFinished() const { return done_; }
    // All the program printed; complete only once it finished with success.
    const QByteArray &output() const { return output_; }

signals:
    // Emitted once: success means the program exited normally with status 0 within its bounds.
    void finished(bool succeeded);

private:
    void collectOutput();
    void finish(bool succeeded);
    void stopProcess();

    const qsizetype maximumOutputSize_;
    const int timeoutMilliseconds_;
    QProcess process_;
    QTimer deadline_;
    QByteArray output_;
    bool done_ = false;
};

} // namespace corvane
