#include "corvane/ui/CanonicalText.h"

#include <QStringView>

namespace corvane {
namespace {

// UTF-16 code units sort surrogates below U+E000..U+FFFF; scalar values sort them above.
bool scalarLess(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t left = QChar::isHighSurrogate(a[i].unicode()) && i + 1 < a.size() &&
                                      QChar::isLowSurrogate(a[i + 1].unicode())
                                  ? QChar::surrogateToUcs4(a[i], a[i + 1])
                                  : a[i].unicode();
        const char32_t right = QChar::isHighSurrogate(b[j].unicode()) && j + 1 < b.size() &&
                                       QChar::isLowSurrogate(b[j + 1].unicode())
                                   ? QChar::surrogateToUcs4(b[j], b[j + 1])
                                   : b[j].unicode();
        if (left != right) {
            return left < right;
        }
        i += left > 0xFFFF ? 2 : 1;
        j += right > 0xFFFF ? 2 : 1;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QString canonicalText(const QString &text)
{
    return text.normalized(QString::NormalizationForm_C);
}

bool canonicallyEqual(const QString &a, const QString &b)
{
    return a == b || canonicalText(a) == canonicalText(b);
}

bool canonicallyLess(const QString &a, const QString &b)
{
    return scalarLess(canonicalText(a), canonicalText(b));
}

} // namespace corvane
