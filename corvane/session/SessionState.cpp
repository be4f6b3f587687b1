#include "corvane/session/SessionState.h"

namespace corvane {

QString SessionState::displayText() const
{
    switch (case_) {
    case Case::failed:
        return QStringLiteral("Failed: ") + message_;
    case Case::idle:
        return QStringLiteral("Idle");
    case Case::verifyingHostKey:
        return QStringLiteral("Verifying host key\u2026");
    case Case::connecting:
        return QStringLiteral("Connecting\u2026");
    case Case::connected:
        return QStringLiteral("Connected");
    case Case::disconnected:
        return QStringLiteral("Disconnected");
    }
    return {};
}

} // namespace corvane
