#include "UiTestSupport.h"
#include "corvane/catalogue/AuditLog.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/ServerListModel.h"
#include "corvane/ui/ServerListView.h"

#include <QAbstractButton>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>

namespace corvane {
namespace {

using namespace corvane::testing;

QStringList namesOf(const ServerListView::Profiles &profiles)
{
    QStringList names;
    for (const auto &profile : profiles) {
        names.append(profile->displayName());
    }
    return names;
}

QStringList listedNames(const ServerListView &list)
{
    return namesOf(list.model().profiles());
}

QStringList menuTexts(const QMenu &menu)
{
    QStringList texts;
    for (const QAction *action : menu.actions()) {
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

QAction *menuAction(const QMenu &menu, const QString &text)
{
    for (QAction *action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

class ServerListViewTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        // Added out of sort order, to show the list sorts by it.
        web = addProfile({.displayName = "web",
                          .environment = ServerEnvironment::production,
                          .clientGroup = "General",
                          .tags = {"prod", "web"},
                          .isFavorite = true,
                          .sortOrder = 2});
        db = addProfile({.displayName = "db",
                         .environment = ServerEnvironment::staging,
                         .clientGroup = "general",
                         .tags = {"Prod"},
                         .sortOrder = 1,
                         .username = "root"});
        cache = addProfile({.displayName = "cache",
                            .environment = ServerEnvironment::development,
                            .clientGroup = "General",
                            .tags = {"production"},
                            .sortOrder = 3,
                            .hostname = "cache 1"});
    }

    std::shared_ptr<ServerProfile> web, db, cache;
};

TEST_F(ServerListViewTest, FiltersAndTitlesBySidebarItem)
{
    struct Case {
        SidebarSelection selection;
        QStringList names;
        QString title;
    };
    const Case cases[] = {
        {std::nullopt, {"db", "web", "cache"}, "All Servers"},
        {SidebarItem::allServers(), {"db", "web", "cache"}, "All Servers"},
        {SidebarItem::favorites(), {"web"}, "Favorites"},
        {SidebarItem::environment(ServerEnvironment::staging), {"db"}, "Staging"},
        {SidebarItem::environment(ServerEnvironment::testing), {}, "Testing"},
        {SidebarItem::tag("prod"), {"web"}, "#prod"},
        {SidebarItem::clientGroup("General"), {"web", "cache"}, "General"},
        {SidebarItem::clientGroup("general"), {"db"}, "general"},
    };
    const auto all = context().fetch<ServerProfile>();
    ServerListView list(context(), *sessions);
    for (const Case &c : cases) {
        const QString label = c.title;
        EXPECT_EQ(namesOf(ServerListView::filteredProfilesForList(all, c.selection, {})).size(),
                  c.names.size());
        list.setSidebarSelection(c.selection);
        EXPECT_EQ(listedNames(list), c.names) << label.toStdString();
        EXPECT_EQ(list.title(), c.title);
        EXPECT_EQ(ServerListView::listTitle(c.selection), c.title);
    }
}

TEST_F(ServerListViewTest, SearchIsUsedAsTypedAndKeepsTheSidebarFilter)
{
    ServerListView list(context(), *sessions);
    list.setSearchText("ROOT");
    EXPECT_EQ(listedNames(list), QStringList{"db"});
    list.setSearchText(" ");
    EXPECT_EQ(listedNames(list), QStringList{"cache"}); // only "cache 1" holds a blank
    list.setSearchText("prod");
    list.setSidebarSelection(SidebarItem::clientGroup("General"));
    EXPECT_EQ(listedNames(list), (QStringList{"web", "cache"}));
}

TEST_F(ServerListViewTest, EmptyStateDependsOnSearchText)
{
    web->setIsFavorite(false);
    ServerListView list(context(), *sessions);
    list.setSidebarSelection(SidebarItem::favorites());
    EXPECT_TRUE(list.isShowingEmptyState());
    EXPECT_EQ(list.shownEmptyState().label, "No Servers");
    EXPECT_EQ(list.shownEmptyState().description,
              "Add a server with the + button, or import from ~/.ssh/config");
    list.setSearchText("x");
    EXPECT_EQ(list.shownEmptyState().label, "No Results");
    EXPECT_EQ(list.shownEmptyState().description, "Try a different search term");
    list.setSidebarSelection(SidebarItem::allServers());
    list.setSearchText("");
    EXPECT_FALSE(list.isShowingEmptyState());
}

TEST_F(ServerListViewTest, ContextMenuOffersTheProfileActions)
{
    ServerListView list(context(), *sessions);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(web, nullptr));
    EXPECT_EQ(menuTexts(*menu),
              (QStringList{"Connect", "-", "Edit…", "Duplicate", "Favorite", "-", "Delete…"}));
    QAction *favorite = menuAction(*menu, "Favorite");
    EXPECT_TRUE(favorite->isCheckable());
    EXPECT_TRUE(favorite->isChecked());
}

TEST_F(ServerListViewTest, EditAndAddServerOpenTheListsOwnEditor)
{
    ServerListView list(context(), *sessions);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(db, nullptr));
    menuAction(*menu, "Edit…")->trigger();
    ASSERT_NE(list.profileEditor(), nullptr);
    EXPECT_EQ(list.profileEditor()->form().displayName, "db");
    list.profileEditor()->reject();
    EXPECT_EQ(list.profileEditor(), nullptr);

    list.addServerButton().click();
    ASSERT_NE(list.profileEditor(), nullptr);
    EXPECT_TRUE(list.profileEditor()->form().displayName.isEmpty());
}

TEST_F(ServerListViewTest, SwitchingFavoriteOffSavesAndLeavesTheFavoritesList)
{
    ServerListView list(context(), *sessions);
    list.setSidebarSelection(SidebarItem::favorites());
    std::unique_ptr<QMenu> menu(list.makeContextMenu(web, nullptr));
    menuAction(*menu, "Favorite")->trigger();
    EXPECT_FALSE(web->isFavorite());
    EXPECT_TRUE(listedNames(list).isEmpty());
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(ServerListViewTest, SaveThatFailsIsShownAndKeepsTheChangePending)
{
    ServerListView list(context(), *sessions);
    store.refuseProfileWrites("disk I/O error");
    std::unique_ptr<QMenu> menu(list.makeContextMenu(web, nullptr));
    menuAction(*menu, "Favorite")->trigger();
    QMessageBox *notice = shownSaveFailure();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("Calvero could not save your changes."));
    EXPECT_TRUE(notice->informativeText().contains(QStringLiteral("disk I/O error")));
    EXPECT_TRUE(labelsNotPlainText(*notice).isEmpty());
    EXPECT_FALSE(web->isFavorite());
    EXPECT_TRUE(context().hasChanges());
    delete notice;

    list.duplicateProfile(*db);
    notice = shownSaveFailure();
    ASSERT_NE(notice, nullptr);
    delete notice;
}

TEST_F(ServerListViewTest, DuplicateSavesAPlainCopyAndKeepsTheSelection)
{
    web->setNotes("front door");
    ServerListView list(context(), *sessions);
    list.setSelectedProfileId(web->id());
    std::unique_ptr<QMenu> menu(list.makeContextMenu(web, nullptr));
    menuAction(*menu, "Duplicate")->trigger();

    EXPECT_FALSE(context().hasChanges()) << "the copy is saved at once";
    store.reopen();
    const auto profiles = store.context().fetch<ServerProfile>();
    ASSERT_EQ(profiles.size(), 4u);
    const auto copy = *std::find_if(profiles.begin(), profiles.end(),
                                    [](const auto &p) { return p->displayName() == "web copy"; });
    EXPECT_NE(copy->id(), web->id());
    EXPECT_FALSE(copy->isFavorite());
    EXPECT_EQ(copy->sortOrder(), 0);
    EXPECT_FALSE(copy->lastConnected().has_value());
    EXPECT_EQ(copy->environment(), ServerEnvironment::production);
    EXPECT_EQ(copy->clientGroup(), "General");
    EXPECT_EQ(copy->tags(), (QStringList{"prod", "web"}));
    EXPECT_EQ(copy->notes(), "front door");
    EXPECT_EQ(copy->hostname(), web->hostname());
}

TEST_F(ServerListViewTest, CopyTakesItsPlaceAmongSortOrderZero)
{
    ServerListView list(context(), *sessions);
    list.duplicateProfile(*db);
    EXPECT_EQ(listedNames(list), (QStringList{"db copy", "db", "web", "cache"}));
}

TEST_F(ServerListViewTest, DeleteAsksFirstThenClosesSessionsSavesAndClearsTheSelection)
{
    AuditLogger::shared().setModelContext(&context());
    ServerListView list(context(), *sessions);
    list.setSelectedProfileId(db->id());
    QUuid reported = db->id();
    int reports = 0;
    QObject::connect(&list, &ServerListView::selectedProfileChanged, [&](const QUuid &id) {
        reported = id;
        ++reports;
    });
    sessions->openSession(db);
    sessions->openSession(db);
    sessions->openSession(web);

    std::unique_ptr<QMenu> menu(list.makeContextMenu(db, nullptr));
    menuAction(*menu, "Delete…")->trigger();
    QMessageBox *confirmation = list.deleteConfirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->text(), "Delete \"db\"?");
    EXPECT_EQ(confirmation->textFormat(), Qt::PlainText);
    EXPECT_EQ(confirmation->informativeText(),
              "All saved sessions for this server will be closed. This cannot be undone.");
    EXPECT_EQ(context().fetch<ServerProfile>().size(), 3u) << "nothing is deleted before the answer";

    QAbstractButton *deleteButton = nullptr;
    for (QAbstractButton *button : confirmation->buttons()) {
        if (button->text() == "Delete") {
            deleteButton = button;
        }
    }
    ASSERT_NE(deleteButton, nullptr);
    EXPECT_EQ(confirmation->buttonRole(deleteButton), QMessageBox::DestructiveRole);
    deleteButton->click();

    ASSERT_EQ(sessions->sessions().size(), 1u);
    EXPECT_EQ(sessions->sessions().front()->profile(), web);
    EXPECT_EQ(listedNames(list), (QStringList{"web", "cache"}));
    EXPECT_TRUE(reported.isNull());
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(context().hasChanges()) << "the deletion is saved at once";
    int closings = 0;
    for (const auto &entry : context().fetch<AuditLog>()) {
        closings += entry->actionDescription() == "SSH connection closed";
    }
    EXPECT_EQ(closings, 2);
}

TEST_F(ServerListViewTest, CancellingDeleteKeepsTheProfileAndDeletingAnotherKeepsTheSelection)
{
    ServerListView list(context(), *sessions);
    list.setSelectedProfileId(web->id());
    list.requestDelete(db);
    list.deleteConfirmation()->button(QMessageBox::Cancel)->click();
    EXPECT_EQ(context().fetch<ServerProfile>().size(), 3u);

    list.requestDelete(db);
    list.deleteProfile();
    EXPECT_EQ(list.selectedProfileId(), web->id());
    EXPECT_EQ(listedNames(list), (QStringList{"web", "cache"}));
}

TEST_F(ServerListViewTest, ConnectSelectsTheProfileAndAlwaysOpensANewSession)
{
    ServerListView list(context(), *sessions);
    QUuid reported;
    QObject::connect(&list, &ServerListView::selectedProfileChanged, [&](const QUuid &id) { reported = id; });
    sessions->openSession(cache);
    std::unique_ptr<QMenu> menu(list.makeContextMenu(cache, nullptr));
    menuAction(*menu, "Connect")->trigger();
    EXPECT_EQ(reported, cache->id());
    EXPECT_EQ(sessions->sessions(*cache).size(), 2u);
}

TEST_F(ServerListViewTest, ChoosingARowReportsItsProfile)
{
    ServerListView list(context(), *sessions);
    QUuid reported;
    QObject::connect(&list, &ServerListView::selectedProfileChanged, [&](const QUuid &id) { reported = id; });
    list.list().selectionModel()->setCurrentIndex(list.model().index(list.model().rowOf(cache->id())),
                                                  QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(reported, cache->id());
    // Narrowing the list away from the chosen row does not unselect the profile.
    list.setSearchText("web");
    EXPECT_EQ(list.selectedProfileId(), cache->id());
    EXPECT_EQ(reported, cache->id());
}

TEST_F(ServerListViewTest, StatusDotFollowsTheProfilesSessions)
{
    ServerListView list(context(), *sessions);
    const int row = list.model().rowOf(db->id());
    auto session = sessions->openSession(db);
    session->setState(SessionState::verifyingHostKey());
    EXPECT_TRUE(waitUntil([&] { return list.model().dotLevel(row) == 1.0; }));
    session->setState(SessionState::failed("no"));
    EXPECT_TRUE(waitUntil([&] { return list.model().dotLevel(row) == 0.0; }));
}

} // namespace
} // namespace corvane
