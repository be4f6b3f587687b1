#pragma once

#include <QString>

namespace corvane {

// A failure of the store: opening, reading or saving. Carries the text shown to the user.
struct StoreError {
    QString message;
};

} // namespace corvane
