#include "corvane/ui/RelativeTimeText.h"

#include <QCoreApplication>
#include <QStringList>

#include <iterator>

namespace corvane {
namespace {

struct TimeUnit {
    int64_t seconds;
    const char *singular;
    const char *plural;
};

constexpr TimeUnit timeUnits[] = {
    {365 * 86400, "%1 year", "%1 years"}, {7 * 86400, "%1 week", "%1 weeks"}, {86400, "%1 day", "%1 days"},
    {3600, "%1 hour", "%1 hours"},        {60, "%1 minute", "%1 minutes"},    {1, "%1 second", "%1 seconds"},
};

QString unitText(const TimeUnit &unit, int64_t count)
{
    const char *text = count == 1 ? unit.singular : unit.plural;
    return QCoreApplication::translate("RelativeTimeText", text).arg(count);
}

} // namespace

QString relativeTimeText(int64_t elapsedSeconds)
{
    const int64_t elapsed = elapsedSeconds > 0 ? elapsedSeconds : 0;
    constexpr size_t unitCount = std::size(timeUnits);
    for (size_t i = 0; i < unitCount; ++i) {
        const int64_t count = elapsed / timeUnits[i].seconds;
        if (count == 0) {
            continue;
        }
        QString text = unitText(timeUnits[i], count);
        if (i + 1 < unitCount) {
            const int64_t next = elapsed % timeUnits[i].seconds / timeUnits[i + 1].seconds;
            if (next > 0) {
                text += QStringLiteral(", ") + unitText(timeUnits[i + 1], next);
            }
        }
        return text;
    }
    return unitText(timeUnits[unitCount - 1], 0);
}

} // namespace corvane
