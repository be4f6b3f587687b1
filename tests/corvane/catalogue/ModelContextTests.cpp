#include "corvane/catalogue/ModelContainer.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/catalogue/SqliteStatement.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvane {
namespace {

class ModelContextTest : public ::testing::Test {
protected:
    std::unique_ptr<ModelContainer> openStore()
    {
        auto opened = ModelContainer::open(directory.path());
        if (auto *error = std::get_if<StoreError>(&opened)) {
            ADD_FAILURE() << error->message.toStdString();
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<ModelContainer>>(opened));
    }

    QString storeFile() const { return directory.filePath("default.store"); }

    QTemporaryDir directory;
};

TEST_F(ModelContextTest, ProfilesSurviveReopeningWithEveryFieldIntact)
{
    QUuid id;
    const QDateTime connected = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    QDateTime created;
    {
        auto store = openStore();
        auto profile = std::make_shared<ServerProfile>(
            "Prod DB ☂", "db-alias", "db.example.com", -2222, "ops", ServerEnvironment::production, "Acme",
            QStringList{"eu", "postgres", "quote\"d", ""}, "line one\nline two", "/srv/it's",
            "~/.ssh/id_ed25519", true, 42);
        profile->setLastConnected(connected);
        auto plain = std::make_shared<ServerProfile>("Plain");
        id = profile->id();
        created = profile->createdAt();
        store->mainContext().insert(profile);
        store->mainContext().insert(plain);
        ASSERT_FALSE(store->mainContext().save().has_value());
    }
    auto store = openStore();
    auto profiles = store->mainContext().fetch<ServerProfile>();
    ASSERT_EQ(profiles.size(), 2u);
    const ServerProfile &p = *profiles[0];
    EXPECT_EQ(p.id(), id);
    EXPECT_EQ(p.displayName(), "Prod DB ☂");
    EXPECT_EQ(p.sshAlias(), "db-alias");
    EXPECT_EQ(p.hostname(), "db.example.com");
    EXPECT_EQ(p.port(), -2222);
    EXPECT_EQ(p.username(), "ops");
    EXPECT_EQ(p.environment(), ServerEnvironment::production);
    EXPECT_EQ(p.clientGroup(), "Acme");
    EXPECT_EQ(p.tags(), (QStringList{"eu", "postgres", "quote\"d", ""}));
    EXPECT_EQ(p.notes(), "line one\nline two");
    EXPECT_EQ(p.workingDirectory(), "/srv/it's");
    EXPECT_EQ(p.preferredIdentity(), "~/.ssh/id_ed25519");
    EXPECT_TRUE(p.isFavorite());
    EXPECT_EQ(p.lastConnected(), connected);
    EXPECT_EQ(p.sortOrder(), 42);
    EXPECT_EQ(p.createdAt(), created);
    EXPECT_EQ(profiles[1]->displayName(), "Plain");
    EXPECT_FALSE(profiles[1]->lastConnected().has_value());
    EXPECT_TRUE(profiles[1]->tags().isEmpty());
}

TEST_F(ModelContextTest, FetchYieldsOneObjectPerStoredRecord)
{
    auto store = openStore();
    ModelContext &context = store->mainContext();
    auto profile = std::make_shared<ServerProfile>("A");
    context.insert(profile);
    ASSERT_FALSE(context.save().has_value());

    auto first = context.fetch<ServerProfile>();
    auto second = context.fetch<ServerProfile>();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], profile);
    EXPECT_EQ(second[0], profile);

    // An unsaved edit is what later fetches see, not the stored value.
    profile->setDisplayName("B");
    EXPECT_EQ(context.fetch<ServerProfile>()[0]->displayName(), "B");
}

TEST_F(ModelContextTest, ChangesStayPendingUntilSaved)
{
    auto store = openStore();
    ModelContext &context = store->mainContext();
    auto kept = std::make_shared<ServerProfile>("Kept");
    auto removed = std::make_shared<ServerProfile>("Removed");
    context.insert(kept);
    context.insert(removed);
    EXPECT_EQ(context.fetch<ServerProfile>().size(), 2u);
    ASSERT_FALSE(context.save().has_value());
    EXPECT_FALSE(context.hasChanges());

    context.remove(removed);
    kept->setNotes("edited");
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(context.fetch<ServerProfile>().size(), 1u);
    {
        auto other = openStore(); // a second connection sees only saved data
        auto stored = other->mainContext().fetch<ServerProfile>();
        ASSERT_EQ(stored.size(), 2u);
        EXPECT_EQ(stored[0]->notes(), "");
    }
    ASSERT_FALSE(context.save().has_value());
    auto other = openStore();
    auto stored = other->mainContext().fetch<ServerProfile>();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]->notes(), "edited");
    EXPECT_NE(stored[0], kept); // another context has its own objects
}

TEST_F(ModelContextTest, InsertThenRemoveBeforeSavingStoresNothing)
{
    auto store = openStore();
    auto profile = std::make_shared<ServerProfile>("Brief");
    store->mainContext().insert(profile);
    store->mainContext().remove(profile);
    EXPECT_FALSE(store->mainContext().hasChanges());
    ASSERT_FALSE(store->mainContext().save().has_value());
    EXPECT_TRUE(openStore()->mainContext().fetch<ServerProfile>().empty());
}

TEST_F(ModelContextTest, ChangedFiresOnInsertRemoveAndPropertyChange)
{
    auto store = openStore();
    ModelContext &context = store->mainContext();
    int changes = 0;
    QObject::connect(&context, &ModelContext::changed, [&changes] { ++changes; });
    auto profile = std::make_shared<ServerProfile>("A");
    context.insert(profile);
    EXPECT_EQ(changes, 1);
    profile->setDisplayName("A"); // no real change
    EXPECT_EQ(changes, 1);
    profile->setDisplayName("B");
    EXPECT_EQ(changes, 2);
    context.remove(profile);
    EXPECT_EQ(changes, 3);
    profile->setDisplayName("C"); // no longer in the context
    EXPECT_EQ(changes, 3);
}

TEST_F(ModelContextTest, NewStoreUsesWriteAheadLogAndHoldsEveryTable)
{
    openStore();
    sqlite3 *connection = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().toUtf8().constData(), &connection), SQLITE_OK);
    {
        SqliteStatement journal(connection, "PRAGMA journal_mode");
        ASSERT_EQ(journal.step(), SQLITE_ROW);
        EXPECT_EQ(journal.column(0).toString(), "wal");
        SqliteStatement tables(connection,
                               "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
        QStringList names;
        while (tables.step() == SQLITE_ROW) {
            names.append(tables.column(0).toString());
        }
        EXPECT_EQ(names, (QStringList{"AuditLog", "CommandSnippet", "ServerProfile", "StoreMetadata"}));
        SqliteStatement version(connection, "SELECT value FROM StoreMetadata WHERE key = 'schemaVersion'");
        ASSERT_EQ(version.step(), SQLITE_ROW);
        EXPECT_EQ(version.column(0).toString(), "1.0.0");
    }
    sqlite3_close(connection);
}

TEST_F(ModelContextTest, StoreOfAnotherSchemaVersionOrNotADatabaseIsRefused)
{
    openStore();
    sqlite3 *connection = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().toUtf8().constData(), &connection), SQLITE_OK);
    ASSERT_TRUE(sqliteExecute(connection, "UPDATE StoreMetadata SET value = '2.0.0'"));
    sqlite3_close(connection);
    auto opened = ModelContainer::open(directory.path());
    ASSERT_TRUE(std::holds_alternative<StoreError>(opened));
    EXPECT_TRUE(std::get<StoreError>(opened).message.contains("2.0.0"));

    QTemporaryDir garbage;
    QFile file(garbage.filePath("default.store"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    EXPECT_TRUE(std::holds_alternative<StoreError>(ModelContainer::open(garbage.path())));
}

// The bytes of every file of the database: the file itself and its journals.
QByteArray databaseBytes(const QString &path)
{
    QByteArray bytes;
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        QFile file(path + suffix);
        bytes += QByteArray(suffix) + ":";
        if (file.open(QIODevice::ReadOnly)) {
            bytes += file.readAll();
        }
    }
    return bytes;
}

TEST_F(ModelContextTest, ForeignDatabaseInTheStoresPlaceIsRefusedUnchanged)
{
    struct Foreign {
        const char *name;
        const char *schema;
    };
    const Foreign databases[] = {
        {"one table", "CREATE TABLE notes (body TEXT); INSERT INTO notes VALUES ('mine')"},
        {"a view only", "CREATE VIEW answer AS SELECT 42"},
        {"a table named like ours", "CREATE TABLE ServerProfile (id TEXT)"},
    };
    for (const Foreign &foreign : databases) {
        QTemporaryDir other;
        const QString path = other.filePath("default.store");
        sqlite3 *connection = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &connection), SQLITE_OK);
        ASSERT_TRUE(sqliteExecute(connection, foreign.schema)) << foreign.name;
        sqlite3_close(connection);
        const QByteArray before = databaseBytes(path);

        auto opened = ModelContainer::open(other.path());
        ASSERT_TRUE(std::holds_alternative<StoreError>(opened)) << foreign.name;
        EXPECT_EQ(std::get<StoreError>(opened).message,
                  QStringLiteral("%1 is not a Calvero store: it holds other data").arg(path))
            << foreign.name;
        EXPECT_EQ(databaseBytes(path), before) << foreign.name;
    }
}

TEST_F(ModelContextTest, EmptyDatabaseFileBecomesTheStore)
{
    QFile file(storeFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto store = openStore();
    ASSERT_TRUE(store);
    store->mainContext().insert(std::make_shared<ServerProfile>("a", "", "h"));
    EXPECT_FALSE(store->mainContext().save().has_value());
}

// Opens the store as a user who may read its file but not write it: as root the test takes
// the id of nobody in a child process, where the permission bits bind.
TEST(ModelContainerDeathTest, StoreThatCannotBeWrittenIsRefusedWithAMessage)
{
    GTEST_FLAG_SET(death_test_style, "fast"); // the child must see this very directory
    QTemporaryDir directory;
    {
        auto opened = ModelContainer::open(directory.path());
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ModelContainer>>(opened));
    }
    const QString path = directory.filePath("default.store");
    const uid_t nobody = 65534;
    for (const QString &file : {directory.path(), path}) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(file.toUtf8().constData(), nobody, nobody), 0);
        }
    }
    ASSERT_EQ(::chmod(path.toUtf8().constData(), 0444), 0);
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
                std::exit(2);
            }
            auto opened = ModelContainer::open(directory.path());
            if (auto *error = std::get_if<StoreError>(&opened)) {
                std::fprintf(stderr, "%s\n", qPrintable(error->message));
                std::exit(0);
            }
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), ::testing::HasSubstr((path + " cannot be written: ").toStdString()));
}

TEST_F(ModelContextTest, MalformedStoredValuesReadSafely)
{
    openStore();
    sqlite3 *connection = nullptr;
    ASSERT_EQ(sqlite3_open(storeFile().toUtf8().constData(), &connection), SQLITE_OK);
    ASSERT_TRUE(sqliteExecute(connection,
                              "INSERT INTO ServerProfile VALUES ('not-a-uuid', 'x', '', '', 22, '', "
                              "'Development', '', '[]', '', '', '', 0, NULL, 0, 0)"));
    ASSERT_TRUE(sqliteExecute(
        connection, "INSERT INTO ServerProfile VALUES ('8c1d4f0e-98c4-4d36-9f4b-4b3bbd1f1a10', 'y', '', '', "
                    "22, '', 'staging', '', '{not json', '', '', '', 0, NULL, 0, 0)"));
    sqlite3_close(connection);
    auto store = openStore();
    auto profiles = store->mainContext().fetch<ServerProfile>();
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0]->displayName(), "y");
    EXPECT_EQ(profiles[0]->environment(), ServerEnvironment::development);
    EXPECT_TRUE(profiles[0]->tags().isEmpty());
}

TEST(SharedModelContainer, OpensTheStoreInTheConfiguredDirectory)
{
    static QTemporaryDir directory; // outlives the process-wide container
    ModelContainer::setSharedStoreDirectory(directory.path());
    EXPECT_EQ(sharedModelContainer().storePath(), directory.filePath("default.store"));
    EXPECT_EQ(&sharedModelContainer(), &sharedModelContainer());
}

TEST(SharedModelContainerDeathTest, UnopenableStoreStopsTheProcessWithAMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ModelContainer::setSharedStoreDirectory("/proc/version/calvero");
            sharedModelContainer();
        },
        ::testing::ExitedWithCode(1), "cannot open its store");
}

} // namespace
} // namespace corvane
