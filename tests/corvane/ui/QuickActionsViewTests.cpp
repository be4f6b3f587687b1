#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/ConfirmActionView.h"
#include "corvane/ui/QuickActionsView.h"
#include "tests/corvane/session/SessionTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

QuickAction actionOf(const char *title, const char *command, RiskLevel risk, const char *category = "Ops")
{
    return QuickAction{QUuid::createUuid(),
                       QString::fromUtf8(title),
                       QStringLiteral("what it does"),
                       QString::fromUtf8(command),
                       risk,
                       QString::fromUtf8(category)};
}

// One action of every risk.
const std::vector<QuickAction> &riskCatalogue()
{
    static const std::vector<QuickAction> catalogue{
        actionOf("Look", "ls -l", RiskLevel::readOnly),
        actionOf("Touch", "touch /tmp/x", RiskLevel::changesState),
        actionOf("Bounce", "sudo systemctl restart app", RiskLevel::restart),
        actionOf("Wipe", "rm -rf /srv/app/cache", RiskLevel::destructive),
    };
    return catalogue;
}

QStringList categories(const std::vector<QuickActionsView::ActionGroup> &groups)
{
    QStringList list;
    for (const auto &group : groups) {
        list.append(group.category);
    }
    return list;
}

// A quick-actions sheet over a session whose ssh is the echoing fake: what the sheet types
// comes back as the session's output, byte for byte.
class QuickActionsViewTest : public FakeSshTest {
protected:
    void SetUp() override
    {
        FakeSshTest::SetUp();
        setMode("echo");
    }

    void TearDown() override
    {
        sheet.reset();
        if (session) {
            session->disconnect();
        }
        session.reset();
        FakeSshTest::TearDown();
    }

    void open(ServerEnvironment environment, bool connected = true,
              std::vector<QuickAction> catalogue = riskCatalogue())
    {
        auto profile = std::make_shared<ServerProfile>(QStringLiteral("Billing DB"), QString(),
                                                       QStringLiteral("db.example"), 22,
                                                       QStringLiteral("ops"), environment);
        session = makeSession(profile);
        if (connected) {
            session->connect();
            ASSERT_TRUE(waitUntil([&] { return output->bytes.contains("ready\n"); }));
            output->bytes.clear();
        }
        audit.entries.clear();
        sheet = std::make_unique<QuickActionsView>(*session, audit, std::move(catalogue));
        sheet->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    }

    void tapRun(const QuickAction &action)
    {
        QPushButton *run = sheet->runButton(action.id);
        ASSERT_NE(run, nullptr);
        QTest::mouseClick(run, Qt::LeftButton);
    }

    QByteArray outputAfterAWhile()
    {
        spinFor(300);
        return output->bytes;
    }

    std::unique_ptr<SSHSession> session;
    std::unique_ptr<QuickActionsView> sheet;
};

TEST(QuickActionsGrouping, BuiltInSectionsAreInCodePointOrderAndKeepCatalogueOrder)
{
    const auto groups = QuickActionsView::groupedActions(QuickAction::builtInActions());
    EXPECT_EQ(categories(groups), (QStringList{"Docker", "Services", "System"}));
    QStringList system;
    for (const QuickAction &action : groups[2].actions) {
        system.append(action.title);
    }
    EXPECT_EQ(system,
              (QStringList{"Uptime", "CPU Usage", "Memory Usage", "Disk Usage", "Listening Ports",
                           "Firewall Status", "Recent Service Errors", "Who Is Logged In", "Last Logins"}));
}

TEST(QuickActionsGrouping, CategoriesCompareByScalarValueAndCanonicalEquivalence)
{
    const std::vector<QuickAction> catalogue{
        actionOf("1", "a", RiskLevel::readOnly, "b"),
        actionOf("2", "a", RiskLevel::readOnly, "\U0001F680 Rockets"), // above U+FFFF
        actionOf("3", "a", RiskLevel::readOnly, "B"),
        actionOf("4", "a", RiskLevel::readOnly, "\uFF01 Loud"),
        actionOf("5", "a", RiskLevel::readOnly, "Caf\u00e9"),
        actionOf("6", "a", RiskLevel::readOnly, "Cafe\u0301"), // the same text, decomposed
        actionOf("7", "a", RiskLevel::readOnly, "b"),
    };
    const auto groups = QuickActionsView::groupedActions(catalogue);
    EXPECT_EQ(categories(groups), (QStringList{"B", "Caf\u00e9", "b", "\uFF01 Loud", "\U0001F680 Rockets"}));
    ASSERT_EQ(groups[1].actions.size(), 2u);
    EXPECT_EQ(groups[1].actions[1].title, "6");
    ASSERT_EQ(groups[2].actions.size(), 2u);
    EXPECT_EQ(groups[2].actions[0].title, "1");
    EXPECT_EQ(groups[2].actions[1].title, "7");
}

TEST_F(QuickActionsViewTest, ListShowsSectionsRowsAndTheServerName)
{
    open(ServerEnvironment::development, false, QuickAction::builtInActions());
    EXPECT_EQ(sheet->windowTitle(), "Quick Actions");
    EXPECT_EQ(sheet->size(), QSize(QuickActionsView::sheetWidth, QuickActionsView::sheetHeight));
    EXPECT_EQ(sheet->findChild<QLabel *>("subtitle")->text(), "Billing DB");
    QStringList headers;
    for (QLabel *header : sheet->findChildren<QLabel *>("sectionHeader")) {
        headers.append(header->text());
    }
    EXPECT_EQ(headers, (QStringList{"Docker", "Services", "System"}));
    for (const QuickAction &action : QuickAction::builtInActions()) {
        QPushButton *run = sheet->runButton(action.id);
        ASSERT_NE(run, nullptr) << action.title.toStdString();
        EXPECT_EQ(run->text(), "Run");
    }
}

TEST_F(QuickActionsViewTest, ReadOnlyActionRunsAtOnceEvenOnProduction)
{
    open(ServerEnvironment::production, true, QuickAction::builtInActions());
    const QuickAction &uptime = QuickAction::builtInActions().front();
    ASSERT_EQ(uptime.title, "Uptime");
    tapRun(uptime);

    EXPECT_FALSE(sheet->showingConfirm());
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ASSERT_EQ(audit.entries.size(), 1u);
    EXPECT_EQ(audit.entries[0].action, "Uptime");
    EXPECT_EQ(audit.entries[0].category, "System");
    EXPECT_EQ(audit.entries[0].risk, RiskLevel::readOnly);
    EXPECT_EQ(audit.entries[0].profileId, session->profile()->id());
    ASSERT_TRUE(waitUntil([&] { return output->bytes.size() >= 7; }));
    EXPECT_EQ(outputAfterAWhile(), "uptime\n");
}

TEST_F(QuickActionsViewTest, OnlyReadOnlyRunsAtOnceOnEveryEnvironment)
{
    for (ServerEnvironment environment : {ServerEnvironment::development, ServerEnvironment::production}) {
        for (const QuickAction &action : riskCatalogue()) {
            SCOPED_TRACE(action.title.toStdString() + " on " + rawValue(environment).toStdString());
            open(environment, true);
            tapRun(action);
            EXPECT_EQ(sheet->pendingAction()->id, action.id);
            if (action.risk == RiskLevel::readOnly) {
                EXPECT_FALSE(sheet->showingConfirm());
                EXPECT_FALSE(sheet->isVisible());
                EXPECT_EQ(audit.entries.size(), 1u);
                ASSERT_TRUE(waitUntil([&] { return output->bytes.size() >= 6; }));
                EXPECT_EQ(outputAfterAWhile(), "ls -l\n");
            } else {
                ASSERT_TRUE(sheet->showingConfirm());
                ConfirmActionView *confirmation = sheet->confirmation();
                EXPECT_TRUE(confirmation->isVisible());
                EXPECT_EQ(confirmation->action().id, action.id);
                const bool production = environment == ServerEnvironment::production;
                EXPECT_EQ(confirmation->productionBanner()->isVisible(), production);
                EXPECT_EQ(confirmation->nameField()->isVisible(),
                          production && action.risk == RiskLevel::destructive);
                EXPECT_TRUE(sheet->isVisible());
                EXPECT_TRUE(audit.entries.empty());
                EXPECT_TRUE(outputAfterAWhile().isEmpty());
            }
            sheet.reset();
            session->disconnect();
            output->bytes.clear();
        }
    }
}

TEST_F(QuickActionsViewTest, ConfirmingTypesTheCommandOnceRecordsItAndClosesBothSheets)
{
    open(ServerEnvironment::production, true);
    const QuickAction &wipe = riskCatalogue()[3];
    tapRun(wipe);
    ConfirmActionView *confirmation = sheet->confirmation();
    ASSERT_NE(confirmation, nullptr);
    QTest::keyClicks(confirmation->nameField(), "Billing DB");
    QTest::keyClick(confirmation->nameField(), Qt::Key_Return);

    EXPECT_FALSE(sheet->showingConfirm());
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_EQ(audit.entries.size(), 1u);
    EXPECT_EQ(audit.entries[0].action, "Wipe");
    EXPECT_EQ(audit.entries[0].category, "Ops");
    EXPECT_EQ(audit.entries[0].risk, RiskLevel::destructive);
    ASSERT_TRUE(waitUntil([&] { return output->bytes.size() >= 22; }));
    EXPECT_EQ(outputAfterAWhile(), "rm -rf /srv/app/cache\n");
}

TEST_F(QuickActionsViewTest, CancelKeepsTheListAndTheNextConfirmationStartsEmpty)
{
    open(ServerEnvironment::production, true);
    const QuickAction &wipe = riskCatalogue()[3];
    tapRun(wipe);
    QTest::keyClicks(sheet->confirmation()->nameField(), "Billing");
    QTest::keyClick(sheet->confirmation()->nameField(), Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_FALSE(sheet->showingConfirm());
    EXPECT_TRUE(sheet->isVisible());

    tapRun(wipe);
    ASSERT_TRUE(sheet->showingConfirm());
    EXPECT_TRUE(sheet->confirmation()->nameField()->text().isEmpty());
    sheet->confirmation()->cancelButton()->click();
    EXPECT_FALSE(sheet->showingConfirm());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->pendingAction()->id, wipe.id); // the last tap is remembered
    EXPECT_TRUE(audit.entries.empty());
    EXPECT_TRUE(outputAfterAWhile().isEmpty());
}

TEST_F(QuickActionsViewTest, DoneClosesTheSheetWithoutRunningAnything)
{
    open(ServerEnvironment::development, true);
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_TRUE(audit.entries.empty());
}

TEST_F(QuickActionsViewTest, SessionThatIsNotConnectedTakesNothingAndTheSheetSaysSo)
{
    const QuickAction &look = riskCatalogue()[0];
    const QuickAction &bounce = riskCatalogue()[2];
    for (const bool everConnected : {false, true}) {
        SCOPED_TRACE(everConnected ? "after a disconnect" : "never connected");
        open(ServerEnvironment::development, everConnected);
        if (everConnected) {
            session->disconnect();
            audit.entries.clear(); // the closing entry
        }
        tapRun(look);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->statusMessage(), "Session is not connected");
        EXPECT_TRUE(audit.entries.empty());

        tapRun(bounce);
        sheet->confirmation()->confirmButton()->click();
        EXPECT_FALSE(sheet->showingConfirm());
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->statusMessage(), "Session is not connected");
        EXPECT_TRUE(audit.entries.empty());
        EXPECT_TRUE(outputAfterAWhile().isEmpty());
        sheet.reset();
    }
}

TEST_F(QuickActionsViewTest, SheetOutlivingItsSessionRunsNothing)
{
    open(ServerEnvironment::development, true);
    session->disconnect();
    session.reset();
    audit.entries.clear();
    tapRun(riskCatalogue()[0]);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->statusMessage(), "Session is not connected");
    EXPECT_TRUE(audit.entries.empty());
}

} // namespace
} // namespace corvane
