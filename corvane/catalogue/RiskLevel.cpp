#include "corvane/catalogue/RiskLevel.h"

#include <QHashFunctions>

namespace corvane {
namespace {

struct RiskLevelText {
    RiskLevel level;
    const char *rawText;
};

constexpr RiskLevelText riskLevelTexts[] = {
    {RiskLevel::readOnly, "Read Only"},
    {RiskLevel::changesState, "Changes State"},
    {RiskLevel::restart, "Restart"},
    {RiskLevel::destructive, "Destructive"},
};

} // namespace

QString rawValue(RiskLevel level)
{
    for (const RiskLevelText &entry : riskLevelTexts) {
        if (entry.level == level) {
            return QString::fromLatin1(entry.rawText);
        }
    }
    return {};
}

std::optional<RiskLevel> riskLevelFromRawValue(const QString &rawText)
{
    for (const RiskLevelText &entry : riskLevelTexts) {
        if (rawText == QLatin1String(entry.rawText)) {
            return entry.level;
        }
    }
    return std::nullopt;
}

size_t qHash(RiskLevel level, size_t seed)
{
    return qHash(rawValue(level), seed);
}

} // namespace corvane
