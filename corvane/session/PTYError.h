#pragma once

#include <QString>

#include <cstdint>

namespace corvane {

// Opening a pseudo-terminal failed (its one case, `openFailed`); carries the errno of the
// failed call.
struct PTYError {
    int32_t errnoValue = 0;

    static PTYError openFailed(int32_t errnoValue) { return PTYError{errnoValue}; }
    QString errorDescription() const
    {
        return QStringLiteral("openpty() failed with errno %1").arg(errnoValue);
    }
};

} // namespace corvane
