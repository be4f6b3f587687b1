#include "corvane/catalogue/AuditLog.h"
#include "corvane/catalogue/CommandSnippet.h"
#include "corvane/catalogue/ServerProfile.h"
#include "tests/corvane/catalogue/TemporaryStore.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(AuditLog, EntriesSurviveReopeningWithEveryFieldIntact)
{
    TemporaryStore store;
    auto entry = std::make_shared<AuditLog>("Prod DB ☂", "db.example.com", "Acme", "Production", "Connection",
                                            "Read Only", "SSH connection opened to db.example.com");
    const QDateTime stamped = QDateTime::fromMSecsSinceEpoch(1'700'000'000'789, Qt::UTC);
    entry->setTimestamp(stamped);
    auto empty = std::make_shared<AuditLog>("", "", "", "", "", "", "");
    store.context().insert(entry);
    store.context().insert(empty);
    ASSERT_FALSE(store.context().save().has_value());

    store.reopen();
    const auto entries = store.context().fetch<AuditLog>();
    ASSERT_EQ(entries.size(), 2u);
    const AuditLog &first = *entries[0];
    EXPECT_EQ(first.id(), entry->id());
    EXPECT_EQ(first.timestamp(), stamped);
    EXPECT_EQ(first.serverDisplayName(), "Prod DB ☂");
    EXPECT_EQ(first.serverHostname(), "db.example.com");
    EXPECT_EQ(first.clientGroup(), "Acme");
    EXPECT_EQ(first.environment(), "Production");
    EXPECT_EQ(first.commandCategory(), "Connection");
    EXPECT_EQ(first.riskLevel(), "Read Only");
    EXPECT_EQ(first.actionDescription(), "SSH connection opened to db.example.com");
    EXPECT_EQ(entries[1]->id(), empty->id());
    EXPECT_TRUE(entries[1]->serverDisplayName().isEmpty());
}

TEST(AuditLog, EntriesAndSnippetsOutliveChangesToTheirProfile)
{
    TemporaryStore store;
    auto profile = std::make_shared<ServerProfile>("Web", "", "web.example.com");
    auto entry = std::make_shared<AuditLog>("Web", "web.example.com", "", "Development", "Connection",
                                            "Read Only", "SSH connection closed");
    auto snippet = std::make_shared<CommandSnippet>("Reload", "sudo nginx -s reload", profile->id(),
                                                    RiskLevel::changesState);
    store.context().insert(profile);
    store.context().insert(entry);
    store.context().insert(snippet);
    ASSERT_FALSE(store.context().save().has_value());

    profile->setDisplayName("Renamed");
    ASSERT_FALSE(store.context().save().has_value());
    store.context().remove(profile);
    ASSERT_FALSE(store.context().save().has_value());

    store.reopen();
    EXPECT_TRUE(store.context().fetch<ServerProfile>().empty());
    const auto entries = store.context().fetch<AuditLog>();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->serverDisplayName(), "Web");
    const auto snippets = store.context().fetch<CommandSnippet>();
    ASSERT_EQ(snippets.size(), 1u);
    EXPECT_EQ(snippets[0]->serverProfileId(), profile->id());
}

} // namespace
} // namespace corvane
