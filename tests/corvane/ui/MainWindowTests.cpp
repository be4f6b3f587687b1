#include "UiTestSupport.h"
#include "corvane/catalogue/AuditLog.h"
#include "corvane/catalogue/ModelContainer.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/AppDelegate.h"
#include "corvane/ui/CalveroApp.h"
#include "corvane/ui/ContentView.h"
#include "corvane/ui/MainWindow.h"
#include "corvane/ui/ServerListModel.h"
#include "corvane/ui/ServerListView.h"
#include "corvane/ui/SettingsPlaceholderView.h"
#include "corvane/ui/SidebarView.h"
#include "corvane/ui/TerminalTabView.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/WorkspaceView.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTemporaryFile>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

QApplication &application()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    EXPECT_NE(app, nullptr);
    return *app;
}

// The process-wide store of these tests lives in a temporary directory.
void useTemporarySharedStore()
{
    static QTemporaryDir directory;
    ModelContainer::setSharedStoreDirectory(directory.path());
}

QMenu *menuTitled(const QMainWindow &window, const QString &title)
{
    for (QAction *action : window.menuBar()->actions()) {
        if (QString(action->text()).remove(QLatin1Char('&')) == title) {
            return action->menu();
        }
    }
    return nullptr;
}

// "title [shortcut]" per item, "-" for a divider.
QStringList itemsOf(const QMenu &menu)
{
    QStringList items;
    for (const QAction *action : menu.actions()) {
        if (action->isSeparator()) {
            items.append(QStringLiteral("-"));
        } else {
            items.append(action->text() + QStringLiteral(" [") +
                         action->shortcut().toString(QKeySequence::PortableText) + QLatin1Char(']'));
        }
    }
    return items;
}

class MainWindowTest : public ScreenTest {};

// Whole on the window's screen, and over the window's middle wherever that leaves it whole.
void expectPlacedOver(const QWidget &sheet, const QWidget &window)
{
    const QRect screen = window.screen()->availableGeometry();
    const QRect placed = sheet.frameGeometry();
    if (placed.width() <= screen.width() && placed.height() <= screen.height()) {
        EXPECT_TRUE(screen.contains(placed)) << sheet.metaObject()->className() << " at " << placed.x() << ","
                                             << placed.y() << " " << placed.width() << "x" << placed.height()
                                             << " on " << screen.width() << "x" << screen.height();
    }
    QRect centred(QPoint(), placed.size());
    centred.moveCenter(window.frameGeometry().center());
    if (screen.contains(centred)) {
        EXPECT_LE((placed.center() - window.frameGeometry().center()).manhattanLength(), 2)
            << sheet.metaObject()->className();
    }
}

// Escape pressed wherever the sheet holds the keyboard.
void pressEscapeIn(QWidget &sheet)
{
    QWidget *focus = sheet.focusWidget() != nullptr ? sheet.focusWidget() : &sheet;
    QTest::keyClick(focus, Qt::Key_Escape);
}

TEST_F(MainWindowTest, StartsWithThreeColumnsAllServersAndTheWelcomeScreen)
{
    addProfile({.displayName = "a"});
    MainWindow window(context(), *sessions);
    window.show();
    ContentView &content = window.content();

    EXPECT_EQ(window.windowTitle(), "Calvero");
    EXPECT_EQ(window.size(), QSize(1200, 760));
    ASSERT_EQ(content.splitter().count(), 3);
    EXPECT_EQ(content.splitter().widget(0), &content.sidebar());
    EXPECT_EQ(content.splitter().widget(1), &content.serverList());
    EXPECT_TRUE(content.sidebar().isAncestorOf(&content.searchField()));
    EXPECT_EQ(content.searchField().placeholderText(), "Search servers…");
    EXPECT_TRUE(content.searchText().isEmpty());
    EXPECT_EQ(content.sidebarSelection(), SidebarItem::allServers());
    EXPECT_EQ(content.serverList().model().rowCount(), 1);
    ASSERT_NE(content.welcomeView(), nullptr);
    EXPECT_TRUE(content.welcomeView()->isVisible());
    EXPECT_EQ(content.workspaceView(), nullptr);
    EXPECT_EQ(AuditLogger::shared().modelContext(), &context())
        << "showing the window attaches the audit trail";
}

TEST_F(MainWindowTest, SelectingAServerShowsItsWorkspaceAndSearchLeavesTheSelection)
{
    auto profile = addProfile({.displayName = "web"});
    MainWindow window(context(), *sessions);
    window.show();
    ContentView &content = window.content();
    QListView &list = content.serverList().list();
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0), QItemSelectionModel::ClearAndSelect);

    EXPECT_EQ(content.selectedProfile(), profile);
    ASSERT_NE(content.workspaceView(), nullptr);
    EXPECT_EQ(content.workspaceView()->profile(), profile);
    EXPECT_EQ(content.welcomeView(), nullptr);

    content.searchField().setText("nothing matches");
    EXPECT_EQ(content.serverList().model().rowCount(), 0);
    EXPECT_EQ(content.selectedProfile(), profile);
    EXPECT_EQ(content.sidebarSelection(), SidebarItem::allServers());
}

TEST_F(MainWindowTest, MenusCarryTheirTextsAndShortcuts)
{
    MainWindow window(context(), *sessions);
    QMenu *file = menuTitled(window, "File");
    QMenu *server = menuTitled(window, "Server");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(itemsOf(*file).contains("Import ~/.ssh/config… [Ctrl+Shift+I]"));
    EXPECT_EQ(itemsOf(*server), (QStringList{"Command Palette [Ctrl+Shift+K]", "-",
                                             "New Server… [Ctrl+Shift+N]", "Audit Log… []"}));
    for (MenuCommand command : {MenuCommand::openCommandPalette, MenuCommand::newServer,
                                MenuCommand::importSSHConfig, MenuCommand::showAuditLog}) {
        QAction *action = window.commandAction(command);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcutContext(), Qt::WindowShortcut);
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    }
    EXPECT_TRUE(
        menuTitled(window, "Server")->actions().contains(window.commandAction(MenuCommand::showAuditLog)));
}

TEST_F(MainWindowTest, AMenuCommandReachesOnlyItsOwnWindow)
{
    MainWindow first(context(), *sessions);
    MainWindow second(context(), *sessions);
    first.show();
    second.show();
    second.commandAction(MenuCommand::showAuditLog)->trigger();
    EXPECT_TRUE(second.content().showingAuditLog());
    EXPECT_FALSE(first.content().showingAuditLog());

    // A second request while the sheet is open changes nothing.
    AuditLogView *sheet = second.content().auditLog();
    second.commandAction(MenuCommand::showAuditLog)->trigger();
    EXPECT_EQ(second.content().auditLog(), sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    sheet->doneButton().click();
    EXPECT_FALSE(second.content().showingAuditLog());
}

TEST_F(MainWindowTest, MenuAndWelcomeButtonsOpenTheSameSheetsOfTheWindow)
{
    MainWindow window(context(), *sessions);
    window.show();
    ContentView &content = window.content();
    ASSERT_NE(content.welcomeView(), nullptr);

    window.commandAction(MenuCommand::newServer)->trigger();
    ASSERT_TRUE(content.showingProfileEditor());
    EXPECT_TRUE(content.profileEditor()->form().displayName.isEmpty()) << "an editor for a new server";
    ProfileEditorView *editor = content.profileEditor();
    content.welcomeView()->addServerButton().click();
    EXPECT_EQ(content.profileEditor(), editor) << "the button sets the same sheet";
    EXPECT_FALSE(content.showingSSHImport()) << "one sheet never opens or closes another";

    content.welcomeView()->importButton().click();
    ASSERT_TRUE(content.showingSSHImport());
    SSHConfigImportView *import = content.sshImport();
    window.commandAction(MenuCommand::importSSHConfig)->trigger();
    EXPECT_EQ(content.sshImport(), import);
    EXPECT_TRUE(content.showingProfileEditor());

    editor->reject();
    import->reject();
    EXPECT_FALSE(content.showingProfileEditor());
    EXPECT_FALSE(content.showingSSHImport());
    window.commandAction(MenuCommand::newServer)->trigger();
    EXPECT_NE(content.profileEditor(), nullptr);
}

TEST_F(MainWindowTest, DeletingAProfileClearsItsSelectionInEveryWindow)
{
    auto profile = addProfile({.displayName = "db"});
    auto other = addProfile({.displayName = "web"});
    MainWindow first(context(), *sessions);
    MainWindow second(context(), *sessions);
    first.content().setSelectedProfileId(profile->id());
    second.content().setSelectedProfileId(other->id());
    ASSERT_NE(first.content().workspaceView(), nullptr);

    // Deleted through the second window's list.
    second.content().serverList().requestDelete(profile);
    second.content().serverList().deleteProfile();

    EXPECT_TRUE(first.content().selectedProfileId().isNull());
    EXPECT_EQ(first.content().selectedProfile(), nullptr);
    EXPECT_NE(first.content().welcomeView(), nullptr);
    EXPECT_EQ(second.content().selectedProfileId(), other->id());
}

TEST_F(MainWindowTest, TextsFromUsersAndHostsAreNeverRichText)
{
    auto profile = addProfile({.displayName = "<b>bold</b>",
                               .clientGroup = "<i>g</i>",
                               .tags = {"<u>t</u>"},
                               .notes = "<img src=x>"});
    MainWindow window(context(), *sessions);
    window.show();
    window.content().setSelectedProfileId(profile->id());
    window.content().sidebar().setSelection(SidebarItem::clientGroup("<i>g</i>"));
    window.content().serverList().requestDelete(profile);
    EXPECT_EQ(window.content().serverList().title(), "<i>g</i>");
    EXPECT_EQ(labelsNotPlainText(window), QStringList());
}

TEST_F(MainWindowTest, QuitDisconnectsEverySessionAndStoresEachClosingEntry)
{
    AuditLogger::shared().setModelContext(&context());
    auto web = addProfile({.displayName = "web"});
    auto db = addProfile({.displayName = "db"});
    sessions->openSession(web);
    sessions->openSession(db);
    sessions->openSession(web)->disconnect(); // an already disconnected session closes again
    const auto closings = [this] {
        int count = 0;
        for (const auto &entry : context().fetch<AuditLog>()) {
            count += entry->actionDescription() == "SSH connection closed";
        }
        return count;
    };
    ASSERT_EQ(closings(), 1);

    AppDelegate delegate(*sessions);
    delegate.applicationWillTerminate();

    EXPECT_EQ(closings(), 4);
    EXPECT_FALSE(context().hasChanges());
    EXPECT_EQ(sessions->sessions().size(), 3u) << "disconnecting removes no session";
    for (const auto &session : sessions->sessions()) {
        EXPECT_EQ(session->state(), SessionState::disconnected());
    }
}

TEST(CalveroApp, OpensOneWindowOverTheSharedStoreAndMoreOnRequest)
{
    useTemporarySharedStore();
    CalveroApp app(application());
    EXPECT_EQ(QApplication::applicationName(), "Calvero");
    EXPECT_EQ(app.windows().size(), 1);
    MainWindow &first = app.mainWindow();
    first.show();
    EXPECT_EQ(first.size(), QSize(1200, 760));
    EXPECT_EQ(AuditLogger::shared().modelContext(), &sharedModelContainer().mainContext());

    MainWindow &second = app.newWindow();
    EXPECT_EQ(app.windows().size(), 2);
    EXPECT_NE(&second, &first);
    second.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app.windows().size(), 1);
    AuditLogger::shared().setModelContext(nullptr);
}

TEST(CalveroApp, SettingsWindowHasItsOneSection)
{
    useTemporarySharedStore();
    CalveroApp app(application());
    SettingsPlaceholderView &settings = app.showSettings();
    EXPECT_EQ(&app.showSettings(), &settings) << "one settings window";
    EXPECT_EQ(settings.size(), QSize(420, 200));
    const auto sections = settings.findChildren<QGroupBox *>();
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections.front()->title(), "Appearance");
    const auto labels = settings.findChildren<QLabel *>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front()->text(), "Additional settings coming soon.");
    AuditLogger::shared().setModelContext(nullptr);
}

TEST(CalveroApp, SettingsOpensOverItsWindowWholeOnTheScreenAndEscapeClosesIt)
{
    useTemporarySharedStore();
    CalveroApp app(application());
    MainWindow &window = app.mainWindow();
    window.setGeometry(20, 20, 700, 520);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QAction *settingsItem = nullptr;
    for (QAction *item : menuTitled(window, "File")->actions()) {
        settingsItem = item->text() == "Settings…" ? item : settingsItem;
    }
    ASSERT_NE(settingsItem, nullptr);

    for (const QPoint &origin : {QPoint(20, 20), QPoint(-500, 300)}) {
        window.move(origin); // the second time partly off the screen
        settingsItem->trigger();
        SettingsPlaceholderView &settings = app.showSettings();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
        expectPlacedOver(settings, window);
        pressEscapeIn(settings);
        EXPECT_FALSE(settings.isVisible());
    }
    AuditLogger::shared().setModelContext(nullptr);
}

TEST_F(MainWindowTest, SheetsOpenOverTheirWindowAndEscapeClosesThem)
{
    auto profile = addProfile({.displayName = "web"});
    MainWindow window(context(), *sessions);
    window.setGeometry(20, 20, 700, 520);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ContentView &content = window.content();
    const auto sheetOf = [&](MenuCommand command) -> QWidget * {
        switch (command) {
        case MenuCommand::newServer:
            return content.profileEditor();
        case MenuCommand::importSSHConfig:
            return content.sshImport();
        case MenuCommand::showAuditLog:
            return content.auditLog();
        case MenuCommand::openCommandPalette:
            return content.commandPalette();
        }
        return nullptr;
    };
    for (MenuCommand command : {MenuCommand::newServer, MenuCommand::importSSHConfig, MenuCommand::showAuditLog,
                                MenuCommand::openCommandPalette}) {
        content.perform(command);
        QWidget *sheet = sheetOf(command);
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        expectPlacedOver(*sheet, window);
        pressEscapeIn(*sheet);
        EXPECT_TRUE(waitUntil([&] { return sheetOf(command) == nullptr; })) << sheet->metaObject()->className();
    }

    // A session's quick actions.
    content.setSelectedProfileId(profile->id());
    QTest::mouseClick(content.workspaceView()->overview()->connectButton(), Qt::LeftButton);
    QPointer<TerminalTabView> tab = content.workspaceView()->currentTab();
    ASSERT_NE(tab, nullptr);
    tab->showQuickActions();
    QWidget *quickActions = tab->quickActions();
    ASSERT_NE(quickActions, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(quickActions));
    expectPlacedOver(*quickActions, window);
    pressEscapeIn(*quickActions);
    EXPECT_TRUE(waitUntil([&] { return !tab || tab->quickActions() == nullptr; }));
    EXPECT_TRUE(tab) << "the tab stays";
}

TEST(CalveroAppDeathTest, AStoreThatCannotBeOpenedEndsTheProcessWithAMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QTemporaryFile blocker; // a file where the store's directory would have to be
            blocker.open();
            ModelContainer::setSharedStoreDirectory(blocker.fileName() + "/Calvero");
            CalveroApp app(application());
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "Calvero cannot open its store");
}

} // namespace
} // namespace corvane
