#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace corvane {

// How much harm running a remote command can do. Declared from least to most risky, so the
// built-in comparison operators order the levels.
enum class RiskLevel {
    readOnly,
    changesState,
    restart,
    destructive,
};

// Every level, least risky first.
inline constexpr std::array<RiskLevel, 4> allRiskLevels{RiskLevel::readOnly, RiskLevel::changesState,
                                                        RiskLevel::restart, RiskLevel::destructive};

// The stored text of a level, which is also its title.
QString rawValue(RiskLevel level);
inline QString title(RiskLevel level)
{
    return rawValue(level);
}

// The level whose raw text is exactly `rawText` (case-sensitive, untrimmed).
std::optional<RiskLevel> riskLevelFromRawValue(const QString &rawText);

size_t qHash(RiskLevel level, size_t seed = 0);

} // namespace corvane
