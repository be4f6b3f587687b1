#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <sys/types.h>
#include <variant>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace corvane {

// The platform's reason why a child could not be started.
struct ChildLaunchError {
    QString message;
};

// A child process whose standard streams and controlling terminal are one pseudo-terminal
// slave. It starts with default signal dispositions, an empty signal mask, and no other
// descriptor. Its exit is noticed on the main thread; it is reaped exactly once, and
// signals go to it only until then.
class ChildProcess : public QObject {
    Q_OBJECT

public:
    // `environment` holds complete "NAME=value" entries.
    static std::variant<std::unique_ptr<ChildProcess>, ChildLaunchError>
    startOnTerminal(const QString &program, const QStringList &arguments,
                    const std::vector<QByteArray> &environment, int terminalFD);

    // A child that is still running is killed and reaped, so none is left behind.
    ~ChildProcess() override;

    pid_t pid() const { return pid_; }
    bool hasExited() const { return exited_; }
    // The wait status; meaningful once the child has exited.
    int waitStatus() const { return waitStatus_; }

    // Asks the child to end (SIGTERM).
    void terminate();

signals:
    void exited();

private:
    explicit ChildProcess(pid_t pid);
    void watchForExit();
    void reapIfExited();

    pid_t pid_;
    int pidFD_ = -1;
    bool exited_ = false;
    int waitStatus_ = 0;
    std::unique_ptr<QSocketNotifier> exitNotifier_;
    std::unique_ptr<QTimer> exitPoll_; // only when the kernel has no process descriptors
};

} // namespace corvane
