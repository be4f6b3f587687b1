#include "UiTestSupport.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/ServerRow.h"

namespace corvane {
namespace {

using namespace corvane::testing;

TEST(ServerRow, ReachLineAndPort)
{
    struct Case {
        QString username;
        QString hostname;
        QString alias;
        int64_t port;
        QString reach;
        std::optional<QString> port_text;
    };
    const Case cases[] = {
        {"root", "db1", "", 22, "root@db1", std::nullopt},
        {"", "db1", "", 22, "db1", std::nullopt},
        {"root", "", "prod", 22, "root@prod", std::nullopt},
        {"root", "db1", "prod", 2222, "root@db1", ":2222"},
        {"root", "", "", 22, "root@", std::nullopt},
        {"", "", "", 22, "", std::nullopt},
        {"", "h", "", 65535, "h", ":65535"},
        {"", "h", "", 0, "h", ":0"},
        {"", "h", "", 1234567, "h", ":1234567"}, // no digit grouping
    };
    for (const Case &c : cases) {
        ServerProfile profile("p", c.alias, c.hostname, c.port, c.username);
        EXPECT_EQ(ServerRow::userAtHost(profile), c.reach);
        EXPECT_EQ(ServerRow::portText(profile), c.port_text) << c.port;
    }
}

TEST(ServerRow, NotesAreCutToTheirFirstLine)
{
    EXPECT_EQ(ServerRow::notesLine("one line"), "one line");
    EXPECT_EQ(ServerRow::notesLine("first\nsecond"), "first…");
    EXPECT_EQ(ServerRow::notesLine("first\r\nsecond"), "first…");
    EXPECT_EQ(ServerRow::notesLine(QStringLiteral("a\u2028b")), "a…");
}

TEST(ServerRow, NameIsSemiboldOnlyForProduction)
{
    EXPECT_EQ(ServerRow::nameFont(QFont(), true).weight(), QFont::DemiBold);
    EXPECT_EQ(ServerRow::nameFont(QFont(), false).weight(), QFont::Normal);
}

class ServerRowSessionTest : public ScreenTest {};

TEST_F(ServerRowSessionTest, ActiveSessionStates)
{
    auto profile = addProfile({.displayName = "p"});
    EXPECT_FALSE(ServerRow::hasActiveSession(sessions->sessions(*profile)));

    struct Case {
        SessionState state;
        bool active;
    };
    const Case cases[] = {
        {SessionState::idle(), false},         {SessionState::verifyingHostKey(), true},
        {SessionState::connecting(), true},    {SessionState::connected(), true},
        {SessionState::disconnected(), false}, {SessionState::failed("x"), false},
    };
    auto session = sessions->openSession(profile);
    for (const Case &c : cases) {
        session->setState(c.state);
        EXPECT_EQ(ServerRow::hasActiveSession(sessions->sessions(*profile)), c.active)
            << c.state.displayText().toStdString();
    }

    // One failed and one connected session light the dot.
    session->setState(SessionState::failed("x"));
    sessions->openSession(profile)->setState(SessionState::connected());
    EXPECT_TRUE(ServerRow::hasActiveSession(sessions->sessions(*profile)));
}

TEST(StatusDot, LitIsGreenWithAGlowAndUnlitHasNone)
{
    EXPECT_EQ(StatusDot::fill(1).rgb(), QColor(0x34, 0xC7, 0x59).rgb());
    EXPECT_NEAR(StatusDot::glow(1).alphaF(), 0.6, 0.01);
    EXPECT_EQ(StatusDot::glow(0).alpha(), 0);
    EXPECT_LT(StatusDot::fill(0).alphaF(), 0.3);
}

} // namespace
} // namespace corvane
