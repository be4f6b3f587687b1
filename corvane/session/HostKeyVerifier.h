#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace corvane {

// The known-hosts file and the system tools that read it: ssh-keygen to look a host up and
// the append of keys the user trusted. The file is only ever appended to.
class HostKeyVerifier {
public:
    // An empty home means the user's home directory.
    HostKeyVerifier(QString sshKeygenPath, QString homeDirectory);

    QString knownHostsPath() const;

    // The host as the known-hosts file names it: bare on port 22, else "[host]:port".
    static QString lookupTarget(const QString &host, int64_t port);
    static QStringList scanArguments(const QString &host, int64_t port);

    // Whether ssh-keygen finds the host in the known-hosts file. Runs it to the end.
    bool isHostKnown(const QString &host, int64_t port) const;

    // Appends the block as whole lines: after a line break when the file's last line lacks
    // one, and ended by a line feed; no blank line is added. Appends of several processes
    // take turns. Existing bytes, the file's mode and a symlink stay as they are; a write
    // that fails part-way is undone. Returns the error text when the file cannot be written.
    std::optional<QString> appendToKnownHosts(const QString &block) const;

    // Runs a program with its output and error sent to the null device; its exit status,
    // or -1 when it could not start, crashed, or did not end in time.
    static int runProcess(const QString &program, const QStringList &arguments);

private:
    QString sshKeygenPath_;
    QString homeDirectory_;
};

} // namespace corvane
