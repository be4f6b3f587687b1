#pragma once

#include "corvane/catalogue/RiskLevel.h"

#include <QString>

namespace corvane {

class ServerProfile;

// Where sessions record what they did: connections opened and closed.
class AuditSink {
public:
    virtual ~AuditSink() = default;
    virtual void log(const QString &action, const QString &category, RiskLevel risk,
                     const ServerProfile &profile) = 0;
};

// The application's audit trail, used by sessions that were given no sink of their own.
AuditSink &applicationAuditSink();

} // namespace corvane
