#include "corvane/catalogue/ServerProfile.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct DestinationCase {
    const char *alias;
    const char *username;
    const char *hostname;
    const char *destination;
    const char *displayHost;
};

TEST(ServerProfile, DestinationAndDisplayHostFollowAliasUserAndHost)
{
    const DestinationCase cases[] = {
        {"web1", "deploy", "10.0.0.5", "web1", "10.0.0.5"},
        {"", "deploy", "10.0.0.5", "deploy@10.0.0.5", "10.0.0.5"},
        {"", "", "10.0.0.5", "10.0.0.5", "10.0.0.5"},
        {"web1", "", "", "web1", "web1"},
        {"", "", "", "", ""},
        {" ", "root", "h", " ", "h"}, // blanks count as set
        {"", "root", "", "root@", ""},
    };
    for (const DestinationCase &c : cases) {
        ServerProfile profile("P", c.alias, c.hostname, 22, c.username);
        EXPECT_EQ(profile.sshDestination(), QString::fromUtf8(c.destination))
            << c.alias << c.username << c.hostname;
        EXPECT_EQ(profile.displayHost(), QString::fromUtf8(c.displayHost));
    }
}

TEST(ServerProfile, MatchesSearchesNamesHostsGroupAndTagsIgnoringCase)
{
    ServerProfile profile("Billing API", "billing-alias", "billing.example.com", 22, "deployer",
                          ServerEnvironment::production, "Acme Corp", {"eu-west", "postgres"},
                          "secret notes here", "/srv/workdir");
    for (const char *query : {"BILLING API", "example.COM", "ALIAS", "Deployer", "acme", "POSTGRES", "eu-"}) {
        EXPECT_TRUE(profile.matches(QString::fromUtf8(query))) << query;
    }
    for (const char *query : {"notes", "workdir", "production", " billing", "22"}) {
        EXPECT_FALSE(profile.matches(QString::fromUtf8(query))) << query;
    }
}

TEST(ServerProfile, NewProfileHasFreshIdCreationTimeAndNoLastConnection)
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    ServerProfile first("A");
    ServerProfile second("A");
    EXPECT_FALSE(first.id().isNull());
    EXPECT_NE(first.id(), second.id());
    EXPECT_GE(first.createdAt(), before);
    EXPECT_FALSE(first.lastConnected().has_value());
    EXPECT_EQ(first.environment(), ServerEnvironment::development);
    EXPECT_FALSE(first.isProduction());
    first.setEnvironment(ServerEnvironment::production);
    EXPECT_TRUE(first.isProduction());
}

TEST(ServerProfile, ChangedFiresOnlyWhenAValueReallyChanges)
{
    ServerProfile profile("A", "", "host", 22);
    int changes = 0;
    QObject::connect(&profile, &PersistentModel::changed, [&changes] { ++changes; });
    profile.setHostname("host");
    profile.setPort(22);
    profile.setTags({});
    EXPECT_EQ(changes, 0);
    profile.setHostname("other");
    profile.setTags({"x"});
    profile.setLastConnected(QDateTime::currentDateTimeUtc());
    EXPECT_EQ(changes, 3);
}

TEST(ServerProfile, StoreRowOfAnotherWidthIsNotRead)
{
    ServerProfile profile("A", "", "host", 22);
    const StoreRow row = profile.storeRow();
    auto sameRecord = ServerProfile::fromStoreRow(row);
    ASSERT_NE(sameRecord, nullptr);
    EXPECT_EQ(sameRecord->id(), profile.id());

    StoreRow shorter(row.begin(), row.end() - 1);
    StoreRow longer = row;
    longer.push_back(QVariant());
    for (const StoreRow &malformed : {StoreRow(), shorter, longer}) {
        EXPECT_EQ(ServerProfile::fromStoreRow(malformed), nullptr) << malformed.size();
    }
}

} // namespace
} // namespace corvane
