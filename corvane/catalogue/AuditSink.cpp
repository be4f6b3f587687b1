#include "corvane/catalogue/AuditSink.h"

#include "corvane/catalogue/AuditLogger.h"

namespace corvane {

AuditSink &applicationAuditSink()
{
    return AuditLogger::shared();
}

} // namespace corvane
