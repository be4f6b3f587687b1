#include "SessionTestSupport.h"
#include "corvane/session/SessionManager.h"

namespace corvane {
namespace {

using namespace corvane::testing;

class SessionManagerTest : public FakeSshTest {
protected:
    void SetUp() override
    {
        FakeSshTest::SetUp();
        manager = std::make_unique<SessionManager>(configuration);
        QObject::connect(manager.get(), &SessionManager::activeSessionIdChanged, [this] { ++activeChanges; });
    }

    void TearDown() override
    {
        manager.reset();
        FakeSshTest::TearDown();
    }

    std::unique_ptr<SessionManager> manager;
    int activeChanges = 0;
};

TEST_F(SessionManagerTest, OpeningAProfileTwiceGivesTwoSessionsAndTheSecondIsActive)
{
    auto profile = profileFor("h");
    auto first = manager->openSession(profile);
    auto second = manager->openSession(profile);
    EXPECT_NE(first, second);
    EXPECT_EQ(manager->sessions(), (std::vector{first, second}));
    EXPECT_EQ(manager->activeSessionId(), second->id());
    EXPECT_EQ(manager->sessions(*profile), (std::vector{first, second}));
    EXPECT_TRUE(manager->sessions(*profileFor("other")).empty());
    // The sessions connect from the event loop, not inside openSession.
    EXPECT_EQ(first->state(), SessionState::idle());
    ASSERT_TRUE(waitUntil([&] { return second->state().is(SessionState::Case::connected); }));
    EXPECT_TRUE(first->state().is(SessionState::Case::connected));
    manager->closeSessions(*profile);
}

TEST_F(SessionManagerTest, ClosingMovesTheActiveSessionToTheLastRemaining)
{
    auto profile = profileFor("h");
    auto a = manager->openSession(profile);
    auto b = manager->openSession(profile);
    auto c = manager->openSession(profile);
    manager->setActiveSessionId(b->id());

    manager->closeSession(a); // not active: stays
    EXPECT_EQ(manager->activeSessionId(), b->id());
    manager->closeSession(b); // active: the last one remaining takes over
    EXPECT_EQ(manager->activeSessionId(), c->id());
    manager->closeSession(c);
    EXPECT_FALSE(manager->activeSessionId().has_value());
    EXPECT_TRUE(manager->sessions().empty());
    EXPECT_EQ(a->state(), SessionState::disconnected());
}

TEST_F(SessionManagerTest, ClosedSessionNeverConnects)
{
    auto session = manager->openSession(profileFor("h"));
    manager->closeSession(session);
    spinFor(200);
    EXPECT_EQ(session->state(), SessionState::disconnected());
    EXPECT_TRUE(recorded("pids").isEmpty());
}

TEST_F(SessionManagerTest, ClosingAProfilesSessionsDisconnectsEachAndKeepsOthers)
{
    auto profile = profileFor("h");
    auto other = profileFor("o");
    manager->closeSessions(*profile); // none yet: nothing happens
    EXPECT_TRUE(audit.entries.empty());

    auto kept = manager->openSession(other);
    for (int i = 0; i < 3; ++i) {
        manager->openSession(profile);
    }
    ASSERT_TRUE(
        waitUntil([&] { return manager->sessions().back()->state().is(SessionState::Case::connected); }));
    audit.entries.clear();
    manager->closeSessions(*profile);
    EXPECT_EQ(audit.actions(), QStringList(3, "SSH connection closed"));
    EXPECT_EQ(manager->sessions(), std::vector{kept});
    EXPECT_EQ(manager->activeSessionId(), kept->id());
    manager->closeSession(kept);
}

TEST_F(SessionManagerTest, SessionsOfAProfileMatchByStoredIdNotObject)
{
    auto profile = profileFor("h");
    auto session = manager->openSession(profile);
    // Another object for the same record (as a second context would make) finds it too.
    auto sameRecord = ServerProfile::fromStoreRow(profile->storeRow());
    ASSERT_NE(sameRecord, nullptr);
    EXPECT_EQ(manager->sessions(*sameRecord), std::vector{session});
    manager->closeSessions(*sameRecord);
    EXPECT_TRUE(manager->sessions().empty());
}

TEST_F(SessionManagerTest, SettingTheSameActiveSessionNotifiesNobody)
{
    auto session = manager->openSession(profileFor("h"));
    EXPECT_EQ(activeChanges, 1);
    manager->setActiveSessionId(session->id());
    EXPECT_EQ(activeChanges, 1);
    manager->setActiveSessionId(std::nullopt);
    manager->setActiveSessionId(std::nullopt);
    EXPECT_EQ(activeChanges, 2);
    manager->closeSession(session);
}

TEST(SessionManagerShared, IsOneInstanceThatStartsEmpty)
{
    EXPECT_EQ(&SessionManager::shared(), &SessionManager::shared());
    EXPECT_TRUE(SessionManager::shared().sessions().empty());
    EXPECT_FALSE(SessionManager::shared().activeSessionId().has_value());
}

} // namespace
} // namespace corvane
