#pragma once

#include <QString>

namespace corvane {

class AuditSink;

// The tools and places a session works with; tests point them at fakes.
struct SSHSessionConfiguration {
    QString sshPath = QStringLiteral("/usr/bin/ssh");
    QString sshKeygenPath = QStringLiteral("/usr/bin/ssh-keygen");
    QString sshKeyscanPath = QStringLiteral("/usr/bin/ssh-keyscan");
    // Empty: the user's home directory.
    QString homeDirectory;
    // Null: the application's audit trail.
    AuditSink *auditSink = nullptr;
};

} // namespace corvane
