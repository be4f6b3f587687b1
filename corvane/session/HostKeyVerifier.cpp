#include "corvane/session/HostKeyVerifier.h"

#include <QDir>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

// ssh-keygen only reads a local file; anything slower than this is stuck.
constexpr int toolTimeoutMilliseconds = 30000;

QString systemErrorText(const QString &path, int error)
{
    return path + QStringLiteral(": ") + qt_error_string(error);
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count > 0) {
            written += count;
        } else if (count == -1 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

// Whether a line break must come first: the file has bytes and its last one is not a line
// feed. A new or empty file starts with the block itself.
bool needsLeadingLineFeed(int fd, off_t size)
{
    if (size == 0) {
        return false;
    }
    char last = 0;
    ssize_t count;
    do {
        count = ::pread(fd, &last, 1, size - 1);
    } while (count == -1 && errno == EINTR);
    return count == 1 && last != '\n';
}

// Held for the whole of one append, so another Calvero appending at the same moment cannot
// decide its line break from a file that is about to change.
class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(int fd)
        : fd_(fd)
    {
        while (::flock(fd_, LOCK_EX) == -1 && errno == EINTR) {
        }
    }
    ~ExclusiveFileLock() { ::flock(fd_, LOCK_UN); }

    ExclusiveFileLock(const ExclusiveFileLock &) = delete;
    ExclusiveFileLock &operator=(const ExclusiveFileLock &) = delete;

private:
    int fd_;
};

// The block as whole lines: ended by a line feed, with a line break before it when the file's
// last line lacks one.
QByteArray appendedBytes(int fd, off_t size, const QString &block)
{
    QByteArray bytes;
    if (needsLeadingLineFeed(fd, size)) {
        bytes += '\n';
    }
    bytes += block.toUtf8();
    if (!bytes.endsWith('\n')) {
        bytes += '\n';
    }
    return bytes;
}

} // namespace

HostKeyVerifier::HostKeyVerifier(QString sshKeygenPath, QString homeDirectory)
    : sshKeygenPath_(std::move(sshKeygenPath))
    , homeDirectory_(std::move(homeDirectory))
{
}

QString HostKeyVerifier::knownHostsPath() const
{
    const QString home = homeDirectory_.isEmpty() ? QDir::homePath() : homeDirectory_;
    return QDir(home).filePath(QStringLiteral(".ssh/known_hosts"));
}

QString HostKeyVerifier::lookupTarget(const QString &host, int64_t port)
{
    return port == 22 ? host : QStringLiteral("[%1]:%2").arg(host).arg(port);
}

QStringList HostKeyVerifier::scanArguments(const QString &host, int64_t port)
{
    QStringList arguments{QStringLiteral("-H")};
    if (port != 22) {
        arguments << QStringLiteral("-p") << QString::number(port);
    }
    arguments << host;
    return arguments;
}

bool HostKeyVerifier::isHostKnown(const QString &host, int64_t port) const
{
    return runProcess(sshKeygenPath_, {QStringLiteral("-f"), knownHostsPath(), QStringLiteral("-F"),
                                       lookupTarget(host, port)}) == 0;
}

std::optional<QString> HostKeyVerifier::appendToKnownHosts(const QString &block) const
{
    if (block.isEmpty()) {
        return std::nullopt;
    }
    const QString path = knownHostsPath();
    // Read and write: the last byte decides whether a line break comes first.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd == -1) {
        return systemErrorText(path, errno);
    }
    std::optional<QString> error;
    {
        const ExclusiveFileLock lock(fd);
        struct stat status {};
        if (::fstat(fd, &status) != 0) {
            error = systemErrorText(path, errno);
        } else if (!writeAll(fd, appendedBytes(fd, status.st_size, block))) {
            error = systemErrorText(path, errno);
            // A torn line would be read as a broken key; the file goes back to what it was.
            while (::ftruncate(fd, status.st_size) == -1 && errno == EINTR) {
            }
        }
    }
    ::close(fd);
    return error;
}

int HostKeyVerifier::runProcess(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(toolTimeoutMilliseconds)) {
        return -1;
    }
    if (!process.waitForFinished(toolTimeoutMilliseconds)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace corvane
