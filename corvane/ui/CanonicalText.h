#pragma once

#include <QString>

namespace corvane {

// Text as the screens compare it: canonically equivalent strings are equal (both are brought
// to NFC), case and blanks count, and order is by Unicode scalar value of the NFC text.
QString canonicalText(const QString &text);
bool canonicallyEqual(const QString &a, const QString &b);
bool canonicallyLess(const QString &a, const QString &b);

} // namespace corvane
