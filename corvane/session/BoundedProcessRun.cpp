#include "corvane/session/BoundedProcessRun.h"

namespace corvane {

BoundedProcessRun::BoundedProcessRun(qsizetype maximumOutputSize, int timeoutMilliseconds)
    : maximumOutputSize_(maximumOutputSize)
    , timeoutMilliseconds_(timeoutMilliseconds)
{
    process_.setStandardErrorFile(QProcess::nullDevice());
    connect(&process_, &QProcess::readyReadStandardOutput, this, &BoundedProcessRun::collectOutput);
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
}

BoundedProcessRun::~BoundedProcessRun()
{
    stopProcess();
}

void BoundedProcessRun::start(const QString &program, const QStringList &arguments,
                              const std::optional<QByteArray> &input)
{
    if (!input) {
        process_.setStandardInputFile(QProcess::nullDevice());
    }
    deadline_.start(timeoutMilliseconds_);
    process_.start(program, arguments);
    if (input) {
        process_.write(*input);
        process_.closeWriteChannel();
    }
}

void BoundedProcessRun::collectOutput()
{
    output_ += process_.readAllStandardOutput();
    if (output_.size() > maximumOutputSize_) {
        finish(false);
    }
}

void BoundedProcessRun::finish(bool succeeded)
{
    if (done_) {
        return;
    }
    done_ = true;
    deadline_.stop();
    stopProcess();
    emit finished(succeeded);
}

void BoundedProcessRun::stopProcess()
{
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
    }
}

} // namespace corvane
