#pragma once

#include <QString>

namespace corvane {

// The only writer of the audit trail. Secrets are redacted from an action's description before
// the entry is stored.
class AuditLogger {
public:
    // Applies the redaction rules in order; each rule sees the output of the one before.
    static QString redact(const QString &action);
};

} // namespace corvane
