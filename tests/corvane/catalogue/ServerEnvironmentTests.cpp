#include "corvane/catalogue/ServerEnvironment.h"

#include <QHash>

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(ServerEnvironment, RawTextsAreTheTitlesInDeclarationOrder)
{
    const QStringList expected = {"Production", "Staging", "Development", "Testing"};
    ASSERT_EQ(allServerEnvironments.size(), size_t(expected.size()));
    for (size_t i = 0; i < allServerEnvironments.size(); ++i) {
        EXPECT_EQ(rawValue(allServerEnvironments[i]), expected[int(i)]);
        EXPECT_EQ(title(allServerEnvironments[i]), expected[int(i)]);
        EXPECT_EQ(serverEnvironmentFromRawValue(expected[int(i)]), allServerEnvironments[i]);
    }
}

TEST(ServerEnvironment, DecodingIsExactAndCaseSensitive)
{
    EXPECT_EQ(serverEnvironmentFromRawValue("Testing"), ServerEnvironment::testing);
    for (const char *text : {"testing", "TESTING", " Testing", "", "Prod"}) {
        EXPECT_FALSE(serverEnvironmentFromRawValue(QString::fromUtf8(text)).has_value()) << text;
    }
}

TEST(ServerEnvironment, HashesAsItsRawText)
{
    EXPECT_EQ(qHash(ServerEnvironment::staging, 7), qHash(QStringLiteral("Staging"), 7));
}

} // namespace
} // namespace corvane
