#include "corvane/catalogue/AuditSink.h"

namespace corvane {
namespace {

// Records nothing until the audit logger takes its place.
class DiscardingAuditSink final : public AuditSink {
public:
    void log(const QString &, const QString &, RiskLevel, const ServerProfile &) override {}
};

} // namespace

AuditSink &applicationAuditSink()
{
    static DiscardingAuditSink sink;
    return sink;
}

} // namespace corvane
