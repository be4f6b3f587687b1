#pragma once

// A real sshd on 127.0.0.1 for end-to-end tests, with keys made for the test in a temporary
// directory, and an ssh wrapper that points the real client at the test's known-hosts file
// (ssh takes its home from the password database, not from $HOME).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::testing {

class LoopbackSshd {
public:
    LoopbackSshd()
    {
        if (!QFile::exists("/usr/sbin/sshd") || !directory_.isValid()) {
            error_ = "no sshd";
            return;
        }
        QDir().mkpath(homeDirectory() + "/.ssh");
        QFile::setPermissions(homeDirectory() + "/.ssh",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (::geteuid() == 0 && !QDir().mkpath("/run/sshd")) { // privilege separation needs it
            error_ = "cannot create /run/sshd";
            return;
        }
        if (!makeKey("host_ed25519") || !makeKey("client_ed25519")) {
            error_ = "ssh-keygen failed";
            return;
        }
        QFile::copy(path("client_ed25519.pub"), path("authorized_keys"));
        writeClientConfiguration();
        start();
    }

    ~LoopbackSshd() { stop(); }

    bool isRunning() const { return error_.isEmpty(); }
    const QString &error() const { return error_; }
    int port() const { return port_; }
    QString path(const QString &name) const { return directory_.filePath(name); }
    QString homeDirectory() const { return path("home"); }
    QString knownHostsFile() const { return homeDirectory() + "/.ssh/known_hosts"; }
    QString clientKey() const { return path("client_ed25519"); }
    QString sshWrapper() const { return path("ssh"); }
    static QString userName() { return QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name); }

    // The known-hosts line of the current host key, as ssh writes it for this port.
    QByteArray knownHostsLine() const
    {
        QFile key(path("host_ed25519.pub"));
        key.open(QIODevice::ReadOnly);
        const QList<QByteArray> fields = key.readAll().trimmed().split(' ');
        return QStringLiteral("[127.0.0.1]:%1 ").arg(port_).toUtf8() + fields[0] + ' ' + fields[1] + '\n';
    }

    // Restarts the server on the same port with a new host key.
    bool changeHostKey()
    {
        stop();
        QFile::remove(path("host_ed25519"));
        QFile::remove(path("host_ed25519.pub"));
        if (!makeKey("host_ed25519")) {
            return false;
        }
        error_.clear();
        start(port_);
        return isRunning();
    }

    void stop()
    {
        if (sshd_.state() != QProcess::NotRunning) {
            // Connection handlers end on their own once their client left; stopping the
            // listener first would orphan them.
            const QString children = QStringLiteral("/proc/%1/task/%1/children").arg(sshd_.processId());
            for (int wait = 0; wait < 500; ++wait) {
                QFile file(children);
                if (!file.open(QIODevice::ReadOnly) || file.readAll().trimmed().isEmpty()) {
                    break;
                }
                QThread::msleep(10);
            }
            sshd_.terminate();
            if (!sshd_.waitForFinished(5000)) {
                sshd_.kill();
                sshd_.waitForFinished(5000);
            }
        }
    }

private:
    bool makeKey(const QString &name)
    {
        return QProcess::execute("/usr/bin/ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-C",
                                                         "calvero-test", "-f", path(name)}) == 0;
    }

    static int freePort()
    {
        const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length);
        ::close(socket);
        return ntohs(address.sin_port);
    }

    static bool accepts(int port)
    {
        const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected = ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(socket);
        return connected;
    }

    void writeFile(const QString &name, const QByteArray &text)
    {
        QFile file(path(name));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
    }

    void writeClientConfiguration()
    {
        writeFile("ssh_config", QStringLiteral("UserKnownHostsFile %1\n"
                                               "GlobalKnownHostsFile /dev/null\n"
                                               "StrictHostKeyChecking yes\n"
                                               "BatchMode yes\n"
                                               "IdentitiesOnly yes\n"
                                               "LogLevel ERROR\n")
                                    .arg(knownHostsFile())
                                    .toUtf8());
        writeFile(
            "ssh",
            QStringLiteral("#!/bin/sh\nexec /usr/bin/ssh -F '%1' \"$@\"\n").arg(path("ssh_config")).toUtf8());
        QFile::setPermissions(path("ssh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void start(int port = 0)
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = port ? port : freePort();
            writeFile("sshd_config", QStringLiteral("ListenAddress 127.0.0.1\n"
                                                    "HostKey %1\n"
                                                    "AuthorizedKeysFile %2\n"
                                                    "StrictModes no\n"
                                                    "UsePAM no\n"
                                                    "PermitRootLogin yes\n"
                                                    "PasswordAuthentication no\n"
                                                    "KbdInteractiveAuthentication no\n"
                                                    "PrintMotd no\n"
                                                    "PrintLastLog no\n"
                                                    "PidFile none\n")
                                         .arg(path("host_ed25519"), path("authorized_keys"))
                                         .toUtf8());
            sshd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            sshd_.start("/usr/sbin/sshd",
                        {"-D", "-e", "-f", path("sshd_config"), "-p", QString::number(port_)});
            if (!sshd_.waitForStarted(5000)) {
                break;
            }
            for (int wait = 0; wait < 500 && sshd_.state() == QProcess::Running; ++wait) {
                if (accepts(port_)) {
                    return;
                }
                QThread::msleep(10);
            }
            stop();
        }
        error_ = "sshd did not start";
    }

    QTemporaryDir directory_;
    QProcess sshd_;
    int port_ = 0;
    QString error_;
};

} // namespace corvane::testing
