#include "UiTestSupport.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/SidebarItem.h"
#include "corvane/ui/SidebarView.h"

#include <QSet>
#include <QTreeWidget>

namespace corvane {
namespace {

using namespace corvane::testing;

const QString decomposedCafe = QStringLiteral("cafe\u0301");
const QString composedCafe = QStringLiteral("caf\u00e9");

// The rows as "title:badge", sections as "[title]" with their rows indented under them.
QStringList rowsOf(const SidebarView &sidebar)
{
    QStringList rows;
    QTreeWidget &list = sidebar.list();
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem *top = list.topLevelItem(i);
        if (!sidebar.itemOf(top)) {
            rows.append(QLatin1Char('[') + top->text(0) + QLatin1Char(']'));
        } else {
            rows.append(top->text(0) + QLatin1Char(':') + top->text(1));
        }
        for (int j = 0; j < top->childCount(); ++j) {
            rows.append(QStringLiteral("  ") + top->child(j)->text(0) + QLatin1Char(':') +
                        top->child(j)->text(1));
        }
    }
    return rows;
}

TEST(SidebarItem, NamesCompareAndHashCanonically)
{
    EXPECT_EQ(SidebarItem::tag(decomposedCafe), SidebarItem::tag(composedCafe));
    EXPECT_EQ(qHash(SidebarItem::tag(decomposedCafe)), qHash(SidebarItem::tag(composedCafe)));
    EXPECT_FALSE(SidebarItem::clientGroup(QStringLiteral("Prod")) ==
                 SidebarItem::clientGroup(QStringLiteral("prod")));
    EXPECT_FALSE(SidebarItem::tag(QStringLiteral("a")) == SidebarItem::clientGroup(QStringLiteral("a")));
    EXPECT_FALSE(SidebarItem::clientGroup(QStringLiteral("a ")) ==
                 SidebarItem::clientGroup(QStringLiteral("a")));
    EXPECT_EQ(SidebarItem::environment(ServerEnvironment::staging),
              SidebarItem::environment(ServerEnvironment::staging));
    EXPECT_FALSE(SidebarItem::environment(ServerEnvironment::staging) ==
                 SidebarItem::environment(ServerEnvironment::testing));

    QSet<SidebarItem> items{SidebarItem::allServers(), SidebarItem::favorites(),
                            SidebarItem::tag(composedCafe), SidebarItem::tag(decomposedCafe),
                            SidebarItem::environment(ServerEnvironment::production)};
    EXPECT_EQ(items.size(), 4);
}

class SidebarViewTest : public ScreenTest {};

TEST_F(SidebarViewTest, EmptyStoreShowsFixedRowsWithoutBadgesOrOptionalSections)
{
    SidebarView sidebar(context());
    EXPECT_EQ(rowsOf(sidebar), (QStringList{"All Servers:", "Favorites:", "[Environment]",
                                            "  Production:", "  Staging:", "  Development:", "  Testing:"}));
    EXPECT_EQ(SidebarView::title(), QStringLiteral("Calvero"));
    EXPECT_EQ(sidebar.selection(), SidebarItem::allServers());
}

TEST_F(SidebarViewTest, CountsGroupsAndTagsExactly)
{
    addProfile({.displayName = "a",
                .environment = ServerEnvironment::production,
                .clientGroup = "Prod",
                .tags = {"web", "web", "Zeta"},
                .isFavorite = true});
    addProfile({.displayName = "b", .clientGroup = "prod", .tags = {"alpha"}});
    addProfile({.displayName = "c", .clientGroup = "", .tags = {decomposedCafe}});
    addProfile({.displayName = "d",
                .environment = ServerEnvironment::testing,
                .clientGroup = "Prod",
                .tags = {composedCafe, "web"}});
    SidebarView sidebar(context());

    // Empty group first; upper case before lower case; a doubled tag counts its profile once;
    // canonically equal tags are one row.
    EXPECT_EQ(rowsOf(sidebar),
              (QStringList{"All Servers:4", "Favorites:1", "[Groups]", "  :1", "  Prod:2", "  prod:1",
                           "[Environment]", "  Production:1", "  Staging:", "  Development:2", "  Testing:1",
                           "[Tags]", "  Zeta:1", "  alpha:1", "  " + composedCafe + ":2", "  web:2"}));
}

TEST_F(SidebarViewTest, GroupsSectionNeedsTwoDistinctNames)
{
    addProfile({.displayName = "a", .clientGroup = "General"});
    addProfile({.displayName = "b", .clientGroup = "General"});
    SidebarView sidebar(context());
    EXPECT_FALSE(rowsOf(sidebar).contains("[Groups]"));

    addProfile({.displayName = "c", .clientGroup = "Other"});
    EXPECT_TRUE(rowsOf(sidebar).contains("[Groups]"));
    EXPECT_TRUE(rowsOf(sidebar).contains("  General:2"));
}

TEST_F(SidebarViewTest, ChoosingARowSetsTheSelectionAndAVanishedGroupKeepsIt)
{
    auto a = addProfile({.displayName = "a", .clientGroup = "One"});
    addProfile({.displayName = "b", .clientGroup = "Two"});
    addProfile({.displayName = "c", .clientGroup = "Three"});
    SidebarView sidebar(context());
    int changes = 0;
    QObject::connect(&sidebar, &SidebarView::selectionChanged, [&] { ++changes; });

    QTreeWidgetItem *one = sidebar.rowFor(SidebarItem::clientGroup("One"));
    ASSERT_NE(one, nullptr);
    sidebar.list().setCurrentItem(one);
    EXPECT_EQ(sidebar.selection(), SidebarItem::clientGroup("One"));
    EXPECT_EQ(changes, 1);

    a->setClientGroup("Two");
    EXPECT_EQ(sidebar.rowFor(SidebarItem::clientGroup("One")), nullptr);
    EXPECT_EQ(sidebar.selection(), SidebarItem::clientGroup("One"));
    EXPECT_EQ(changes, 1);

    // Section headers are not choices.
    sidebar.list().setCurrentItem(sidebar.list().topLevelItem(2));
    EXPECT_EQ(sidebar.selection(), SidebarItem::clientGroup("One"));
}

TEST_F(SidebarViewTest, EnvironmentRowsAreTintedWithTheirColours)
{
    SidebarView sidebar(context());
    for (ServerEnvironment environment : allServerEnvironments) {
        QTreeWidgetItem *row = sidebar.rowFor(SidebarItem::environment(environment));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->foreground(0).color(), EnvironmentBadge::color(environment))
            << title(environment).toStdString();
    }
}

TEST_F(SidebarViewTest, CollapsedSectionStaysCollapsedAcrossChanges)
{
    addProfile({.displayName = "a", .tags = {"x"}});
    SidebarView sidebar(context());
    QTreeWidgetItem *tags = sidebar.list().topLevelItem(sidebar.list().topLevelItemCount() - 1);
    ASSERT_EQ(tags->text(0), QStringLiteral("Tags"));
    EXPECT_TRUE(tags->isExpanded());
    tags->setExpanded(false);

    addProfile({.displayName = "b", .tags = {"y"}});
    tags = sidebar.list().topLevelItem(sidebar.list().topLevelItemCount() - 1);
    EXPECT_FALSE(tags->isExpanded());
    EXPECT_EQ(tags->childCount(), 2);
}

} // namespace
} // namespace corvane
