#include "corvane/session/HostKeyVerifier.h"

#include <QDir>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
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

// Whether the file's last byte is a line feed; false for an empty file.
bool endsWithLineFeed(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size == 0) {
        return false;
    }
    char last = 0;
    ssize_t count;
    do {
        count = ::pread(fd, &last, 1, status.st_size - 1);
    } while (count == -1 && errno == EINTR);
    return count == 1 && last == '\n';
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
    QByteArray bytes;
    if (!endsWithLineFeed(fd)) {
        bytes += '\n';
    }
    bytes += block.toUtf8();
    bytes += '\n';
    const bool written = writeAll(fd, bytes);
    const int error = errno;
    ::close(fd);
    if (!written) {
        return systemErrorText(path, error);
    }
    return std::nullopt;
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
