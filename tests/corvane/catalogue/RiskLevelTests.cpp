#include "corvane/catalogue/RiskLevel.h"

#include <QSet>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(RiskLevel, LevelsAreOrderedFromReadOnlyToDestructive)
{
    EXPECT_LT(RiskLevel::readOnly, RiskLevel::restart);
    EXPECT_GT(RiskLevel::destructive, RiskLevel::changesState);
    EXPECT_LE(RiskLevel::restart, RiskLevel::restart);
    EXPECT_GE(RiskLevel::changesState, RiskLevel::readOnly);
    for (size_t i = 1; i < allRiskLevels.size(); ++i) {
        EXPECT_LT(allRiskLevels[i - 1], allRiskLevels[i]);
    }
}

TEST(RiskLevel, RawTextsRoundTripAndDecodeOnlyExactly)
{
    const std::pair<RiskLevel, const char *> titles[] = {{RiskLevel::readOnly, "Read Only"},
                                                         {RiskLevel::changesState, "Changes State"},
                                                         {RiskLevel::restart, "Restart"},
                                                         {RiskLevel::destructive, "Destructive"}};
    for (const auto &[level, title] : titles) {
        EXPECT_EQ(rawValue(level), QString::fromUtf8(title));
        EXPECT_EQ(riskLevelFromRawValue(QString::fromUtf8(title)), level);
    }
    for (const char *text : {"read only", "READ ONLY", "Read Only ", " Restart", "ReadOnly", ""}) {
        EXPECT_EQ(riskLevelFromRawValue(QString::fromUtf8(text)), std::nullopt) << text;
    }
}

TEST(RiskLevel, HashesAsItsRawText)
{
    EXPECT_EQ(qHash(RiskLevel::restart, 7), qHash(QStringLiteral("Restart"), 7));
    const QSet<RiskLevel> levels{allRiskLevels.begin(), allRiskLevels.end()};
    EXPECT_EQ(levels.size(), 4);
}

} // namespace
} // namespace corvane
