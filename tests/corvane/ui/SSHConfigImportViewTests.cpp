#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/SSHConfigImportView.h"
#include "tests/corvane/catalogue/TemporaryStore.h"
#include "tests/corvane/ui/UiTestSupport.h"
#include "tests/support/WaitUntil.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <future>
#include <gtest/gtest.h>

namespace corvane {
namespace {

using calvero::testing::waitUntil;

using RawHost = SSHConfigImportView::RawHost;
using ContentState = SSHConfigImportView::ContentState;

RawHost hostNamed(const char *alias)
{
    RawHost host;
    host.alias = QString::fromUtf8(alias);
    return host;
}

template <class Widget> Widget *child(QWidget &parent, const char *name)
{
    auto *widget = parent.findChild<Widget *>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

const char *const sampleConfig = "Host *\n"
                                 "  ServerAliveInterval 30\n"
                                 "Host web\n"
                                 "  HostName web.example.com\n"
                                 "  User deploy\n"
                                 "Host db\n"
                                 "  Port 2200\n"
                                 "Host -oProxyCommand=touch_x\n"
                                 "  HostName evil\n"
                                 "Host sneaky\n"
                                 "  User -oProxyCommand=touch_x\n"
                                 "Host cache\n"
                                 "  HostName 10.0.0.9\n";

class SSHConfigImportViewTest : public ::testing::Test {
protected:
    QString writeFile(const char *name, const QByteArray &bytes)
    {
        const QString path = directory.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Reads the "default" configuration from a file of the test, the way the sheet reads
    // ~/.ssh/config: a missing file has no hosts.
    SSHConfigImportView::ConfigLoader loaderWithDefault(const QString &path)
    {
        SSHConfigImportView::ConfigLoader loader = SSHConfigImportView::ConfigLoader::standard();
        loader.loadDefault = [path] {
            return QFile::exists(path) ? SSHConfigParser().loadConfigFile(path) : std::vector<RawHost>();
        };
        return loader;
    }

    std::unique_ptr<SSHConfigImportView> shownSheet(const QByteArray &defaultConfig)
    {
        auto sheet = std::make_unique<SSHConfigImportView>(
            store.context(), nullptr, loaderWithDefault(writeFile("config", defaultConfig)));
        sheet->show();
        EXPECT_TRUE(waitUntil([&] { return !sheet->isLoading(); }));
        return sheet;
    }

    static void load(SSHConfigImportView &sheet, const QString &path)
    {
        sheet.handleConfigFileImport({path});
        EXPECT_TRUE(waitUntil([&] { return !sheet.isLoading(); }));
    }

    static void select(SSHConfigImportView &sheet, std::initializer_list<int> rows)
    {
        auto *list = child<QListWidget>(sheet, "hostList");
        for (int row : rows) {
            list->item(row)->setSelected(true);
        }
    }

    std::vector<std::shared_ptr<ServerProfile>> profiles() { return store.context().fetch<ServerProfile>(); }

    QTemporaryDir directory;
    TemporaryStore store;
};

TEST_F(SSHConfigImportViewTest, ListsTheDefaultConfigOnceShown)
{
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    const QString path = writeFile("config", sampleConfig);
    SSHConfigImportView::ConfigLoader loader = loaderWithDefault(path);
    loader.loadDefault = [opened, load = loader.loadDefault] {
        opened.wait();
        return load();
    };
    SSHConfigImportView sheet(store.context(), nullptr, loader);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Import from ~/.ssh/config"));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    auto *content = child<QStackedWidget>(sheet, "");
    sheet.show();

    EXPECT_EQ(sheet.contentState(), ContentState::loading);
    EXPECT_EQ(content->currentWidget()->objectName(), QStringLiteral("loadingPage"));
    EXPECT_FALSE(child<QPushButton>(sheet, "importButton")->isEnabled());
    gate.set_value();
    ASSERT_TRUE(waitUntil([&] { return !sheet.isLoading(); }));

    EXPECT_EQ(sheet.contentState(), ContentState::listed);
    auto *list = child<QListWidget>(sheet, "hostList");
    EXPECT_EQ(content->currentWidget(), list);
    ASSERT_EQ(list->count(), 6);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("web"));
    EXPECT_EQ(list->item(1)->data(SSHConfigImportView::hostLineRole).toString(),
              QStringLiteral("web.example.com"));
    EXPECT_EQ(list->item(1)->data(SSHConfigImportView::userRole).toString(), QStringLiteral("deploy"));
    EXPECT_EQ(list->item(2)->data(SSHConfigImportView::hostLineRole).toString(),
              QStringLiteral("(resolved by ssh)"));
    EXPECT_TRUE(list->item(2)->data(SSHConfigImportView::userRole).toString().isEmpty());
    // Hosts ssh would read as options are listed, with the reason, but cannot be chosen.
    for (int row : {3, 4}) {
        EXPECT_FALSE(list->item(row)->flags() & Qt::ItemIsSelectable) << row;
        EXPECT_TRUE(list->item(row)->toolTip().contains(QStringLiteral("“-”"))) << row;
    }
    EXPECT_FALSE(list->item(0)->flags() & Qt::ItemIsSelectable); // "*" is a pattern, not a server
}

TEST_F(SSHConfigImportViewTest, EachNameOfAHostLineIsListedAndOnlyWhatImportsIsCounted)
{
    const auto sheet = shownSheet("Host alpha \"beta two\" web-* !old db?\n"
                                  "  HostName h\n"
                                  "Host 'gamma'\n"
                                  "  Port 70000\n"
                                  "Host delta\n");
    auto *list = child<QListWidget>(*sheet, "hostList");
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) {
        rows << list->item(row)->text();
    }
    EXPECT_EQ(rows, (QStringList{"alpha", "beta two", "web-*", "!old", "db?", "gamma", "delta"}));
    for (int row : {2, 3, 4}) {
        EXPECT_FALSE(list->item(row)->flags() & Qt::ItemIsSelectable) << row;
        EXPECT_EQ(list->item(row)->data(SSHConfigImportView::hostLineRole).toString(),
                  QStringLiteral("Not importable: a pattern"));
        EXPECT_TRUE(list->item(row)->toolTip().contains(QStringLiteral("pattern"))) << row;
    }
    EXPECT_FALSE(list->item(5)->flags() & Qt::ItemIsSelectable);
    EXPECT_EQ(list->item(5)->data(SSHConfigImportView::hostLineRole).toString(),
              QStringLiteral("Not importable: port 70000"));

    auto *button = child<QPushButton>(*sheet, "importButton");
    EXPECT_EQ(button->text(), QStringLiteral("Import All (3)"));
    select(*sheet, {1, 6});
    EXPECT_EQ(button->text(), QStringLiteral("Import Selected (2)"));
    list->clearSelection();
    EXPECT_EQ(button->text(), QStringLiteral("Import All (3)"));
    button->click();

    QStringList imported;
    for (const auto &profile : profiles()) {
        imported << profile->sshAlias();
        EXPECT_EQ(profile->displayName(), profile->sshAlias());
    }
    EXPECT_EQ(imported, (QStringList{"alpha", "beta two", "delta"}));
    EXPECT_EQ(profiles()[1]->hostname(), QStringLiteral("h"));
}

TEST_F(SSHConfigImportViewTest, ListOfOnlyPatternsCannotBeImported)
{
    const auto sheet = shownSheet("Host *\n  User u\nHost *.example.com\n");
    auto *button = child<QPushButton>(*sheet, "importButton");
    EXPECT_EQ(sheet->contentState(), ContentState::listed);
    EXPECT_EQ(button->text(), QStringLiteral("Import All (0)"));
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(SSHConfigImportViewTest, LoadStatesShowTheirTexts)
{
    {
        SSHConfigImportView sheet(store.context(), nullptr, loaderWithDefault(directory.filePath("absent")));
        sheet.show();
        ASSERT_TRUE(waitUntil([&] { return !sheet.isLoading(); }));
        EXPECT_EQ(sheet.contentState(), ContentState::empty);
        EXPECT_FALSE(sheet.loadError().has_value());
        QWidget *page = child<QStackedWidget>(sheet, "")->currentWidget();
        EXPECT_EQ(page->objectName(), QStringLiteral("emptyPage"));
        QStringList texts;
        for (const QLabel *label : page->findChildren<QLabel *>()) {
            texts << label->text();
        }
        EXPECT_TRUE(texts.contains(QStringLiteral("No Hosts Found")));
        EXPECT_TRUE(texts.contains(QStringLiteral("No Host entries were found in ~/.ssh/config")));
        EXPECT_FALSE(child<QPushButton>(sheet, "importButton")->isEnabled());
        EXPECT_EQ(child<QPushButton>(sheet, "importButton")->text(), QStringLiteral("Import All (0)"));
    }
    {
        const auto sheet = shownSheet("Host caf\xe9\n<b>bold</b>\n");
        EXPECT_EQ(sheet->contentState(), ContentState::failed);
        ASSERT_TRUE(sheet->loadError().has_value());
        EXPECT_EQ(*sheet->loadError(),
                  QStringLiteral("The file “config” couldn’t be read because it isn’t valid UTF-8 text."));
        auto *description = child<QLabel>(*sheet, "errorDescription");
        EXPECT_EQ(description->text(), *sheet->loadError());
        EXPECT_EQ(description->textFormat(), Qt::PlainText);
        EXPECT_EQ(child<QStackedWidget>(*sheet, "")->currentWidget()->objectName(),
                  QStringLiteral("errorPage"));
        EXPECT_FALSE(child<QPushButton>(*sheet, "importButton")->isEnabled());
    }
}

TEST_F(SSHConfigImportViewTest, FileLoadsKeepHostsOnFailureAndClearTheErrorOnSuccess)
{
    const auto sheet = shownSheet("Host a\n");
    load(*sheet, directory.filePath("missing"));
    EXPECT_EQ(sheet->contentState(), ContentState::failed);
    ASSERT_EQ(sheet->rawHosts().size(), 1u);

    load(*sheet, writeFile("latin1", "Host caf\xe9\n"));
    EXPECT_TRUE(sheet->loadError()->contains(QStringLiteral("UTF-8")));
    EXPECT_EQ(sheet->rawHosts().size(), 1u);

    load(*sheet, writeFile("other", "Host b\nHost c\n"));
    EXPECT_EQ(sheet->contentState(), ContentState::listed);
    EXPECT_FALSE(sheet->loadError().has_value());
    EXPECT_EQ(sheet->rawHosts().size(), 2u);

    sheet->handleConfigFileImport({}); // cancelled chooser
    EXPECT_FALSE(sheet->isLoading());
}

TEST_F(SSHConfigImportViewTest, ButtonTitleCountsSelectionOrEveryListedHost)
{
    const auto sheet = shownSheet(sampleConfig);
    auto *button = child<QPushButton>(*sheet, "importButton");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), QStringLiteral("Import All (3)")); // web, db and cache
    select(*sheet, {1, 2});
    EXPECT_EQ(sheet->importCount(), 2);
    EXPECT_EQ(button->text(), QStringLiteral("Import Selected (2)"));
}

TEST_F(SSHConfigImportViewTest, ImportAllAppliesGroupAndEnvironmentAndSkipsStarAndOptionLikeHosts)
{
    for (int round = 0; round < 2; ++round) {
        const auto sheet = shownSheet(sampleConfig);
        child<QLineEdit>(*sheet, "clientGroup")->clear();
        child<QComboBox>(*sheet, "environment")->setCurrentText(QStringLiteral("Staging"));
        child<QPushButton>(*sheet, "importButton")->click();
        EXPECT_EQ(sheet->result(), QDialog::Accepted);
    }

    store.reopen();
    const auto imported = profiles();
    QStringList names;
    for (const auto &profile : imported) {
        names << profile->displayName();
        EXPECT_EQ(profile->environment(), ServerEnvironment::staging);
        EXPECT_TRUE(profile->clientGroup().isEmpty());
        EXPECT_EQ(profile->sortOrder(), 0);
    }
    // Importing again makes second profiles.
    EXPECT_EQ(names, (QStringList{"web", "db", "cache", "web", "db", "cache"}));
    EXPECT_EQ(imported[0]->hostname(), QStringLiteral("web.example.com"));
    EXPECT_EQ(imported[0]->username(), QStringLiteral("deploy"));
    EXPECT_EQ(imported[1]->port(), 2200);
}

TEST_F(SSHConfigImportViewTest, ImportSelectedTakesEveryEntryWithAChosenAliasInFileOrder)
{
    const auto sheet = shownSheet("Host *\nHost b\nHostName first\nHost a\nHost b\nHostName second\n");
    select(*sheet, {3});
    auto *list = child<QListWidget>(*sheet, "hostList");
    EXPECT_TRUE(list->item(1)->isSelected()); // rows are identified by alias
    EXPECT_EQ(sheet->selectedAliases(), (QSet<QString>{"b"}));
    EXPECT_EQ(child<QPushButton>(*sheet, "importButton")->text(), QStringLiteral("Import Selected (2)"));
    EXPECT_EQ(child<QLineEdit>(*sheet, "clientGroup")->text(), QStringLiteral("General"));
    sheet->importSelected();

    const auto imported = profiles();
    ASSERT_EQ(imported.size(), 2u);
    EXPECT_EQ(imported[0]->hostname(), QStringLiteral("first"));
    EXPECT_EQ(imported[1]->hostname(), QStringLiteral("second"));
    EXPECT_EQ(imported[0]->environment(), ServerEnvironment::development);
    EXPECT_EQ(imported[0]->clientGroup(), QStringLiteral("General"));
}

TEST_F(SSHConfigImportViewTest, LeavingOneOfTwoRowsWithAnAliasLeavesBoth)
{
    const auto sheet = shownSheet("Host b\nHost a\nHost b\n");
    select(*sheet, {0});
    auto *list = child<QListWidget>(*sheet, "hostList");
    list->item(2)->setSelected(false);
    EXPECT_TRUE(sheet->selectedAliases().isEmpty());
    EXPECT_FALSE(list->item(0)->isSelected());
}

TEST_F(SSHConfigImportViewTest, EachLoadKeepsOnlySelectedAliasesOfTheNewList)
{
    const auto sheet = shownSheet("Host a\nHost b\nHost c\n");
    select(*sheet, {0, 1});
    load(*sheet, writeFile("second", "Host b\nHost d\n"));

    EXPECT_EQ(sheet->selectedAliases(), QSet<QString>{"b"});
    EXPECT_EQ(child<QPushButton>(*sheet, "importButton")->text(), QStringLiteral("Import Selected (1)"));
    auto *list = child<QListWidget>(*sheet, "hostList");
    EXPECT_TRUE(list->item(0)->isSelected());
    EXPECT_FALSE(list->item(1)->isSelected());

    load(*sheet, writeFile("third", "Host x\n"));
    EXPECT_TRUE(sheet->selectedAliases().isEmpty());
    EXPECT_EQ(child<QPushButton>(*sheet, "importButton")->text(), QStringLiteral("Import All (1)"));
}

TEST_F(SSHConfigImportViewTest, ImportThatCannotBeSavedIsShown)
{
    const auto sheet = shownSheet("Host a\n");
    store.refuseProfileWrites("attempt to write a readonly database");
    child<QPushButton>(*sheet, "importButton")->click();
    QMessageBox *notice = corvane::testing::shownSaveFailure();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->informativeText().contains(QStringLiteral("readonly database")));
    delete notice;
}

TEST_F(SSHConfigImportViewTest, CancelImportsNothing)
{
    const auto sheet = shownSheet(sampleConfig);
    child<QPushButton>(*sheet, "cancelButton")->click();
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_TRUE(profiles().empty());
    EXPECT_FALSE(store.context().hasChanges());
}

TEST_F(SSHConfigImportViewTest, LoadThatFinishesAfterTheSheetClosedIsDropped)
{
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    auto returned = std::make_shared<std::atomic<bool>>(false);
    SSHConfigImportView::ConfigLoader loader;
    loader.loadDefault = [opened, returned] {
        opened.wait();
        returned->store(true);
        return std::vector<RawHost>{hostNamed("late")};
    };
    auto sheet = std::make_unique<SSHConfigImportView>(store.context(), nullptr, loader);
    sheet->show();
    ASSERT_TRUE(sheet->isLoading());
    sheet->reject();
    sheet.reset();

    gate.set_value();
    ASSERT_TRUE(waitUntil([&] { return returned->load(); }));
    // Give the finished load time to try its hand-back.
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(profiles().empty());
}

TEST_F(SSHConfigImportViewTest, OnlyTheLatestOfOverlappingLoadsApplies)
{
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    SSHConfigImportView::ConfigLoader loader = SSHConfigImportView::ConfigLoader::standard();
    loader.loadDefault = [opened] {
        opened.wait();
        return std::vector<RawHost>{hostNamed("stale")};
    };
    SSHConfigImportView sheet(store.context(), nullptr, loader);
    sheet.show();
    load(sheet, writeFile("chosen", "Host fresh\n"));
    gate.set_value();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    ASSERT_EQ(sheet.rawHosts().size(), 1u);
    EXPECT_EQ(sheet.rawHosts()[0].alias, QStringLiteral("fresh"));
}

} // namespace
} // namespace corvane
