#include "corvane/catalogue/CommandSnippet.h"
#include "tests/corvane/catalogue/TemporaryStore.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(CommandSnippet, RiskIsTheExactlyNamedLevelOrElseReadOnly)
{
    const std::pair<const char *, RiskLevel> cases[] = {
        {"Read Only", RiskLevel::readOnly},
        {"Changes State", RiskLevel::changesState},
        {"Restart", RiskLevel::restart},
        {"Destructive", RiskLevel::destructive},
        {"destructive", RiskLevel::readOnly},
        {"Destructive ", RiskLevel::readOnly},
        {"", RiskLevel::readOnly},
        {"Distructive", RiskLevel::readOnly},
    };
    CommandSnippet snippet("Drop cache", "sync");
    for (const auto &[text, risk] : cases) {
        snippet.setRiskClassification(QString::fromUtf8(text));
        EXPECT_EQ(snippet.risk(), risk) << text;
    }
}

TEST(CommandSnippet, NewSnippetStoresTheRawTextOfItsRisk)
{
    const CommandSnippet snippet("Wipe", "rm -rf /tmp/x", std::nullopt, RiskLevel::destructive);
    EXPECT_EQ(snippet.riskClassification(), "Destructive");
    EXPECT_EQ(snippet.usageCount(), 0);
    EXPECT_FALSE(snippet.serverProfileId().has_value());
    EXPECT_FALSE(snippet.id().isNull());
}

TEST(CommandSnippet, SnippetsSurviveReopeningWithEveryFieldIntact)
{
    TemporaryStore store;
    const QUuid profileId = QUuid::createUuid();
    const QDateTime created = QDateTime::fromMSecsSinceEpoch(1'700'000'000'456, Qt::UTC);
    auto owned = std::make_shared<CommandSnippet>("Tail log", "tail -f /var/log/syslog | grep 'a\"b'",
                                                  profileId, RiskLevel::restart, "notes\nsecond line ☂");
    owned->setUsageCount(-3);
    owned->setCreatedAt(created);
    owned->setRiskClassification("restart"); // an unknown text is kept as it stands
    auto unowned = std::make_shared<CommandSnippet>("Uptime", "uptime");
    store.context().insert(owned);
    store.context().insert(unowned);
    ASSERT_FALSE(store.context().save().has_value());

    store.reopen();
    const auto snippets = store.context().fetch<CommandSnippet>();
    ASSERT_EQ(snippets.size(), 2u);
    const CommandSnippet &first = *snippets[0];
    EXPECT_EQ(first.id(), owned->id());
    EXPECT_EQ(first.title(), "Tail log");
    EXPECT_EQ(first.command(), "tail -f /var/log/syslog | grep 'a\"b'");
    EXPECT_EQ(first.serverProfileId(), profileId);
    EXPECT_EQ(first.riskClassification(), "restart");
    EXPECT_EQ(first.risk(), RiskLevel::readOnly);
    EXPECT_EQ(first.notes(), "notes\nsecond line ☂");
    EXPECT_EQ(first.createdAt(), created);
    EXPECT_EQ(first.usageCount(), -3);
    EXPECT_EQ(snippets[1]->id(), unowned->id());
    EXPECT_FALSE(snippets[1]->serverProfileId().has_value());
    EXPECT_EQ(snippets[1]->riskClassification(), "Read Only");
}

} // namespace
} // namespace corvane
