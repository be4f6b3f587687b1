#pragma once

#include "corvane/catalogue/AuditSink.h"
#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/RiskLevel.h"

#include <QPointer>
#include <QString>

namespace corvane {

class ServerProfile;

// The only writer of the audit trail. Secrets are redacted from an action's description before
// the entry is stored. Lives on the main thread.
class AuditLogger final : public AuditSink {
public:
    // The one instance, created on first use without a model context.
    static AuditLogger &shared();

    AuditLogger(const AuditLogger &) = delete;
    AuditLogger &operator=(const AuditLogger &) = delete;

    // Held weakly: once the context is gone, entries are dropped again.
    ModelContext *modelContext() const { return modelContext_; }
    void setModelContext(ModelContext *context) { modelContext_ = context; }

    // Records what was done to the profile's server, and saves. Without a model context the
    // entry is dropped; a failed save is ignored.
    void log(const QString &action, const QString &category, RiskLevel risk,
             const ServerProfile &profile) override;

    // Applies the redaction rules in order; each rule sees the output of the one before.
    static QString redact(const QString &action);

private:
    AuditLogger() = default;

    QPointer<ModelContext> modelContext_;
};

} // namespace corvane
