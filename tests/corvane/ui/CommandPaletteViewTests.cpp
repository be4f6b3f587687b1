#include "SessionScreenSupport.h"
#include "UiTestSupport.h"
#include "corvane/catalogue/CommandSnippet.h"
#include "corvane/catalogue/TemporaryStore.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/CommandPaletteModel.h"
#include "corvane/ui/CommandPaletteView.h"
#include "corvane/ui/ContentView.h"
#include "corvane/ui/MainWindow.h"
#include "corvane/ui/WorkspaceView.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

QStringList namesOf(const CommandPaletteView::Profiles &profiles)
{
    QStringList names;
    for (const auto &profile : profiles) {
        names.append(profile->displayName());
    }
    return names;
}

QStringList titlesOf(const CommandPaletteView::Snippets &snippets)
{
    QStringList titles;
    for (const auto &snippet : snippets) {
        titles.append(snippet->title());
    }
    return titles;
}

// The list as the user reads it: headings as "# title", then one line per entry.
QStringList shownRows(const CommandPaletteView &palette)
{
    QStringList rows;
    const CommandPaletteModel &model = palette.model();
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString text = model.data(model.index(row)).toString();
        const CommandPaletteModel::RowKind kind = model.kindAt(row);
        const bool heading = kind == CommandPaletteModel::RowKind::serversHeading ||
                             kind == CommandPaletteModel::RowKind::snippetsHeading;
        rows.append(heading ? QStringLiteral("# ") + text : text);
    }
    return rows;
}

void clickRow(CommandPaletteView &palette, int row)
{
    QListView &list = palette.list();
    const QRect rect = list.visualRect(list.model()->index(row, 0));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
}

// A catalogue that covers both sections: favourites, connected servers, blanks and case in
// every searched text.
class CommandPaletteTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        web = addProfile({.displayName = "web front", .isFavorite = true, .hostname = "web.example"});
        db = addProfile({.displayName = "db", .hostname = "DB.EXAMPLE"});
        api = addProfile({.displayName = "api", .isFavorite = true});
        addProfile({.displayName = "cache", .hostname = "cache.example"});
        alpha = addProfile({.displayName = "Alpha", .tags = {"Blue Team"}, .hostname = "alpha.example"});
        for (const auto &profile : {db, api, alpha}) {
            profile->setLastConnected(QDateTime::currentDateTimeUtc());
        }
        addSnippet("Restart nginx", "sudo systemctl restart nginx", RiskLevel::restart);
        addSnippet("disk usage", "df -h", RiskLevel::readOnly);
        addSnippet("Logs", "journalctl -u WEB", RiskLevel::readOnly);
        ASSERT_FALSE(context().save().has_value());
    }

    std::shared_ptr<CommandSnippet> addSnippet(const QString &title, const QString &command, RiskLevel risk)
    {
        auto snippet = std::make_shared<CommandSnippet>(title, command, std::nullopt, risk);
        context().insert(snippet);
        return snippet;
    }

    std::unique_ptr<CommandPaletteView> openPalette()
    {
        auto palette = std::make_unique<CommandPaletteView>(context(), *sessions);
        palette->show();
        return palette;
    }

    std::shared_ptr<ServerProfile> web, db, api, alpha;
};

TEST_F(CommandPaletteTest, ServersAndSnippetsFoundByEachQuery)
{
    struct Case {
        QString query;
        QStringList servers;
        QStringList snippets;
    };
    const Case cases[] = {
        // No query: the favourites, then the connected ones, each by name; never a snippet. A
        // favourite that was also connected (api) is listed once.
        {"", {"api", "web front", "Alpha", "db"}, {}},
        // Case folds both ways: the query, the names, hosts, tags, titles and commands.
        {"WEB", {"web front"}, {"Logs"}},
        {"web", {"web front"}, {"Logs"}},
        {"db.example", {"db"}, {}},
        {"blue", {"Alpha"}, {}},
        {"DISK", {}, {"disk usage"}},
        // One blank is a real search: a name, a tag, titles and a command hold one.
        {" ", {"Alpha", "web front"}, {"Logs", "Restart nginx", "disk usage"}},
        // Commands are searched as well as titles.
        {"-h", {}, {"disk usage"}},
        {"nginx", {}, {"Restart nginx"}},
        {"no such thing", {}, {}},
    };
    const auto profiles = CommandPaletteView::profilesByName(context());
    const auto snippets = CommandPaletteView::snippetsByTitle(context());
    for (const Case &test : cases) {
        SCOPED_TRACE(test.query.toStdString());
        EXPECT_EQ(namesOf(CommandPaletteView::filteredProfiles(profiles, test.query)), test.servers);
        EXPECT_EQ(titlesOf(CommandPaletteView::filteredSnippets(snippets, test.query)), test.snippets);
    }
}

TEST_F(CommandPaletteTest, EqualNamesKeepTheStoresOrder)
{
    auto first = addProfile({.displayName = "twin", .hostname = "one.example"});
    auto second = addProfile({.displayName = "twin", .hostname = "two.example"});
    const auto twins =
        CommandPaletteView::filteredProfiles(CommandPaletteView::profilesByName(context()), "twin");
    ASSERT_EQ(twins.size(), 2u);
    EXPECT_EQ(twins[0], first);
    EXPECT_EQ(twins[1], second);
}

TEST_F(CommandPaletteTest, OpensAsAFixedSheetWithTheQueryFocusedAndTheFirstServerHighlighted)
{
    auto palette = openPalette();
    ASSERT_TRUE(QTest::qWaitForWindowActive(palette.get()));

    EXPECT_EQ(palette->size(), QSize(520, 400));
    EXPECT_EQ(palette->minimumSize(), palette->maximumSize());
    EXPECT_EQ(palette->searchField().placeholderText(), "Connect to server, run snippet…");
    EXPECT_TRUE(palette->searchField().hasFocus());
    EXPECT_TRUE(palette->clearButton().isHidden());
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "api", "web front", "Alpha", "db"}));
    EXPECT_EQ(palette->highlightedProfile(), api);
    EXPECT_FALSE(palette->isShowingNoResults());
}

TEST_F(CommandPaletteTest, TypingNarrowsBothSectionsAndTheClearButtonBringsTheStartBack)
{
    auto palette = openPalette();
    QTest::keyClicks(&palette->searchField(), "WEB");

    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "web front", "# Snippets", "Logs"}));
    EXPECT_FALSE(palette->clearButton().isHidden());
    EXPECT_EQ(palette->highlightedProfile(), web);

    palette->clearButton().click();
    EXPECT_TRUE(palette->query().isEmpty());
    EXPECT_TRUE(palette->clearButton().isHidden());
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "api", "web front", "Alpha", "db"}));
    EXPECT_TRUE(palette->isVisible()) << "clearing does nothing else";
    EXPECT_TRUE(sessions->sessions().empty());
}

TEST_F(CommandPaletteTest, WithNothingToListThePlaceholderShowsAndReturnDoesNothing)
{
    // No favourite and no connected server: the empty query lists nothing.
    for (const auto &profile : {web, api}) {
        profile->setIsFavorite(false);
    }
    for (const auto &profile : {db, api, alpha}) {
        profile->setLastConnected(std::nullopt);
    }
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);

    EXPECT_TRUE(palette->isShowingNoResults());
    EXPECT_TRUE(palette->list().isHidden());
    EXPECT_EQ(palette->noResultsLabel().text(), "No Results");
    QTest::keyClick(&palette->searchField(), Qt::Key_Return);
    EXPECT_TRUE(palette->isVisible());
    EXPECT_TRUE(sessions->sessions().empty());

    // The query is shown as the user typed it, never read as markup.
    QTest::keyClicks(&palette->searchField(), "<b>none</b>");
    EXPECT_EQ(palette->noResultsLabel().text(), "No Results for “<b>none</b>”");
    EXPECT_TRUE(labelsNotPlainText(*palette).isEmpty());
    QTest::keyClick(&palette->searchField(), Qt::Key_Return);
    EXPECT_TRUE(palette->isVisible());
    EXPECT_TRUE(sessions->sessions().empty());
    EXPECT_EQ(chosen.count(), 0);
}

TEST_F(CommandPaletteTest, OnlySnippetsFoundMeansReturnAndClicksDoNothing)
{
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);
    QTest::keyClicks(&palette->searchField(), "nginx");
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Snippets", "Restart nginx"}));
    EXPECT_EQ(palette->highlightedProfile(), nullptr);

    QTest::keyClick(&palette->searchField(), Qt::Key_Return);
    QTest::keyClick(&palette->searchField(), Qt::Key_Down);
    clickRow(*palette, 1);
    clickRow(*palette, 0);
    EXPECT_TRUE(palette->isVisible());
    EXPECT_TRUE(sessions->sessions().empty());
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(palette->query(), "nginx");
}

TEST_F(CommandPaletteTest, ClickingASnippetRowChangesNothing)
{
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);
    QTest::keyClicks(&palette->searchField(), "WEB");
    ASSERT_EQ(palette->model().kindAt(3), CommandPaletteModel::RowKind::snippet);

    clickRow(*palette, 3);
    clickRow(*palette, 2); // the Snippets heading
    EXPECT_TRUE(palette->isVisible());
    EXPECT_TRUE(sessions->sessions().empty());
    EXPECT_EQ(chosen.count(), 0);
    EXPECT_EQ(palette->highlightedProfile(), web) << "the highlight stays on the server";
}

TEST_F(CommandPaletteTest, ChoosingAServerWithASessionOpensAnotherSelectsItAndCloses)
{
    sessions->openSession(db);
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);
    QSignalSpy finished(palette.get(), &QDialog::finished);

    clickRow(*palette, 4); // db
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toUuid(), db->id());
    EXPECT_EQ(sessions->sessions(*db).size(), 2u);
    EXPECT_EQ(sessions->activeSessionId(), sessions->sessions(*db).back()->id());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(palette->isVisible());
}

TEST_F(CommandPaletteTest, ArrowsMoveAmongTheServersAndReturnChoosesTheHighlightedOne)
{
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);
    QLineEdit &field = palette->searchField();
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(palette->highlightedProfile(), api) << "the first server is the top";
    QTest::keyClick(&field, Qt::Key_Down);
    QTest::keyClick(&field, Qt::Key_Down);
    EXPECT_EQ(palette->highlightedProfile(), alpha);
    QTest::keyClick(&field, Qt::Key_PageDown);
    EXPECT_EQ(palette->highlightedProfile(), db) << "the last server is the bottom";
    QTest::keyClick(&field, Qt::Key_Up);
    EXPECT_EQ(palette->highlightedProfile(), alpha);

    // A new query starts again at its first server.
    QTest::keyClicks(&field, "a");
    EXPECT_EQ(palette->highlightedProfile(), alpha);
    QTest::keyClick(&field, Qt::Key_Down);
    QTest::keyClick(&field, Qt::Key_Return);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toUuid(), palette->model().profiles()[1]->id());
    EXPECT_EQ(sessions->sessions().size(), 1u);
}

TEST_F(CommandPaletteTest, ReturnWithoutArrowsChoosesTheFirstResult)
{
    auto palette = openPalette();
    QSignalSpy chosen(palette.get(), &CommandPaletteView::selectedProfileChanged);
    QTest::keyClicks(&palette->searchField(), "example");
    ASSERT_EQ(namesOf(palette->filteredProfiles()),
              (QStringList{"Alpha", "api", "cache", "db", "web front"}));

    QTest::keyClick(&palette->searchField(), Qt::Key_Enter);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toUuid(), alpha->id());
    ASSERT_EQ(sessions->sessions().size(), 1u);
    EXPECT_EQ(sessions->sessions().front()->profile(), alpha);
    EXPECT_FALSE(palette->isVisible());
}

TEST_F(CommandPaletteTest, EscapeClosesWithoutChoosing)
{
    auto palette = openPalette();
    QSignalSpy finished(palette.get(), &QDialog::finished);
    QTest::keyClicks(&palette->searchField(), "web");
    QTest::keyClick(&palette->searchField(), Qt::Key_Escape);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(palette->result(), QDialog::Rejected);
    EXPECT_TRUE(sessions->sessions().empty());
}

TEST_F(CommandPaletteTest, ChangesInTheStoreShowAtOnceAndKeepTheHighlight)
{
    auto palette = openPalette();
    QTest::keyClick(&palette->searchField(), Qt::Key_Down);
    ASSERT_EQ(palette->highlightedProfile(), web);

    auto added = addProfile({.displayName = "aardvark", .isFavorite = true});
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "aardvark", "api", "web front", "Alpha", "db"}));
    EXPECT_EQ(palette->highlightedProfile(), web);

    alpha->setLastConnected(std::nullopt);
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "aardvark", "api", "web front", "db"}));

    QTest::keyClicks(&palette->searchField(), "backup");
    EXPECT_TRUE(palette->isShowingNoResults());
    addSnippet("backup now", "tar czf /tmp/b.tgz /etc", RiskLevel::changesState);
    ASSERT_FALSE(context().save().has_value());
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Snippets", "backup now"}));
    EXPECT_FALSE(palette->isShowingNoResults());

    // The highlighted server going away moves the highlight to the first one left.
    palette->searchField().clear();
    QTest::keyClick(&palette->searchField(), Qt::Key_Down);
    ASSERT_EQ(palette->highlightedProfile(), api);
    context().remove(api);
    EXPECT_EQ(shownRows(*palette), (QStringList{"# Servers", "aardvark", "web front", "db"}));
    EXPECT_EQ(palette->highlightedProfile(), added);
}

// Through the real window: the menu shortcut, typing and Return, with the fake ssh.
class CommandPaletteWindowTest : public SessionScreenTest {
protected:
    TemporaryStore store;
};

TEST_F(CommandPaletteWindowTest, ShortcutTypingAndReturnOpenASessionInThatWindow)
{
    auto profile = makeProfile("billing db", "10.0.0.7", ServerEnvironment::production);
    store.context().insert(profile);
    store.context().insert(makeProfile("web", "web.example"));
    ASSERT_FALSE(store.context().save().has_value());
    MainWindow other(store.context(), *sessions);
    MainWindow window(store.context(), *sessions);
    other.show();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ContentView &content = window.content();

    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(content.showingCommandPalette());
    EXPECT_FALSE(other.content().showingCommandPalette());
    CommandPaletteView *palette = content.commandPalette();
    EXPECT_EQ(palette->windowModality(), Qt::WindowModal);
    ASSERT_TRUE(waitUntil([&] { return palette->searchField().hasFocus(); }));

    QTest::keyClicks(QApplication::focusWidget(), "BILL");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    ASSERT_TRUE(waitUntil([&] { return !content.showingCommandPalette(); }));
    EXPECT_EQ(content.selectedProfile(), profile);
    EXPECT_TRUE(other.content().selectedProfileId().isNull()) << "only this window selects it";
    ASSERT_EQ(sessions->sessions(*profile).size(), 1u);
    ASSERT_TRUE(waitUntil(
        [&] { return sessions->sessions(*profile).front()->state() == SessionState::connected(); }));
    ASSERT_NE(content.workspaceView(), nullptr);
    EXPECT_EQ(content.workspaceView()->profile(), profile);

    // Again from the session's terminal: the shortcut is the window's, and the same server
    // gets a second session. A window manager hands activation back once the sheet is gone.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto *terminal = window.findChild<kestrix::TerminalView *>();
    ASSERT_NE(terminal, nullptr);
    terminal->setFocus();
    QTest::keyClick(terminal, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(content.showingCommandPalette());
    ASSERT_TRUE(waitUntil([&] { return content.commandPalette()->searchField().hasFocus(); }));
    QTest::keyClicks(QApplication::focusWidget(), "10.0.0");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !content.showingCommandPalette(); }));
    EXPECT_EQ(sessions->sessions(*profile).size(), 2u);
    EXPECT_EQ(content.selectedProfile(), profile);
}

} // namespace
} // namespace corvane
