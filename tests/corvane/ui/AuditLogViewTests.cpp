#include "UiTestSupport.h"
#include "corvane/catalogue/AuditLog.h"
#include "corvane/ui/AuditLogTableModel.h"
#include "corvane/ui/AuditLogView.h"
#include "corvane/ui/RelativeTimeText.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace corvane {
namespace {

using namespace corvane::testing;

QStringList rowTexts(const AuditLogTableModel &model, int row)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column) {
        texts.append(model.data(model.index(row, column)).toString());
    }
    return texts;
}

class AuditLogViewTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        AuditLogger::shared().setModelContext(&context());
        profile = addProfile({.displayName = "db", .clientGroup = "Acme"});
    }

    std::shared_ptr<ServerProfile> profile;
};

TEST_F(AuditLogViewTest, EmptyStoreShowsHeadersOnly)
{
    AuditLogView view(context());
    EXPECT_EQ(view.windowTitle(), "Audit Log");
    EXPECT_EQ(view.doneButton().text(), "Done");
    EXPECT_EQ(view.minimumSize(), QSize(700, 400));
    const AuditLogTableModel &model = view.model();
    EXPECT_EQ(model.rowCount(), 0);
    QStringList headers;
    for (int column = 0; column < model.columnCount(); ++column) {
        headers.append(model.headerData(column, Qt::Horizontal).toString());
    }
    EXPECT_EQ(headers, (QStringList{"Time", "Server", "Group", "Risk", "Action"}));
    EXPECT_EQ(view.table().horizontalHeader()->sectionSize(0), 120);
    EXPECT_EQ(view.table().horizontalHeader()->sectionSize(1), 160);
    EXPECT_FALSE(view.table().isSortingEnabled());
    EXPECT_EQ(view.table().selectionMode(), QAbstractItemView::NoSelection);
}

TEST_F(AuditLogViewTest, NewestFirstAndLiveWhileOpen)
{
    AuditLogger::shared().log("SSH connection opened", "Connection", RiskLevel::readOnly, *profile);
    AuditLogger::shared().log("rm -rf /srv/cache", "System", RiskLevel::destructive, *profile);
    AuditLogView view(context());
    view.model().setNow(QDateTime::currentDateTimeUtc());
    ASSERT_EQ(view.model().rowCount(), 2);
    EXPECT_EQ(rowTexts(view.model(), 0).mid(1),
              (QStringList{"db", "Acme", "Destructive", "rm -rf /srv/cache"}));
    EXPECT_EQ(rowTexts(view.model(), 1).mid(1),
              (QStringList{"db", "Acme", "Read Only", "SSH connection opened"}));

    AuditLogger::shared().log("password=hunter2", "System", RiskLevel::changesState, *profile);
    ASSERT_EQ(view.model().rowCount(), 3);
    EXPECT_EQ(rowTexts(view.model(), 0).mid(1),
              (QStringList{"db", "Acme", "Changes State", "password=[REDACTED]"}));
}

TEST_F(AuditLogViewTest, OlderEntriesSortBelowWhateverOrderTheyWereStored)
{
    AuditLogger::shared().log("later", "System", RiskLevel::readOnly, *profile);
    auto older =
        std::make_shared<AuditLog>("db", "", "Acme", "Development", "System", "Read Only", "earlier");
    older->setTimestamp(QDateTime::currentDateTimeUtc().addSecs(-3600));
    context().insert(older);
    ASSERT_FALSE(context().save().has_value());
    AuditLogView view(context());
    EXPECT_EQ(rowTexts(view.model(), 0).last(), "later");
    EXPECT_EQ(rowTexts(view.model(), 1).last(), "earlier");
}

TEST_F(AuditLogViewTest, TimeCellsAdvanceWithTheClock)
{
    AuditLogger::shared().log("x", "System", RiskLevel::readOnly, *profile);
    AuditLogView view(context());
    const QDateTime made = view.model().entries().front()->timestamp();
    view.model().setNow(made.addSecs(5));
    EXPECT_EQ(rowTexts(view.model(), 0).front(), "5 seconds");
    view.model().setNow(made.addSecs(125));
    EXPECT_EQ(rowTexts(view.model(), 0).front(), "2 minutes, 5 seconds");
}

TEST(RelativeTimeText, TwoLargestUnits)
{
    struct Case {
        int64_t seconds;
        const char *text;
    };
    const Case cases[] = {
        {-30, "0 seconds"},
        {0, "0 seconds"},
        {1, "1 second"},
        {59, "59 seconds"},
        {60, "1 minute"},
        {61, "1 minute, 1 second"},
        {3600, "1 hour"},
        {3660, "1 hour, 1 minute"},
        {3601, "1 hour"},
        {90000, "1 day, 1 hour"},
        {8 * 86400, "1 week, 1 day"},
        {400 * 86400, "1 year, 5 weeks"},
        {INT64_MAX, "292471208677 years, 27 weeks"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(relativeTimeText(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
    }
}

} // namespace
} // namespace corvane
