#include "corvane/catalogue/ModelContainer.h"

#include "corvane/catalogue/SqliteStatement.h"
#include "corvane/catalogue/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <unistd.h>

namespace corvane {
namespace {

QString &sharedDirectoryOverride()
{
    static QString directory;
    return directory;
}

QString createTableStatement(const StoreTable &table)
{
    QStringList columns;
    for (const StoreColumn &column : table.columns) {
        columns.append(QStringLiteral("%1 %2").arg(QString::fromLatin1(column.name),
                                                   QString::fromLatin1(column.declaration)));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(QString::fromLatin1(table.name), columns.join(QStringLiteral(", ")));
}

std::optional<StoreError> useWriteAheadLog(sqlite3 *connection)
{
    SqliteStatement statement(connection, QStringLiteral("PRAGMA journal_mode = WAL"));
    if (!statement.isValid() || statement.step() != SQLITE_ROW) {
        return StoreError{sqliteErrorText(connection)};
    }
    if (statement.column(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
        return StoreError{QStringLiteral("The store cannot use a write-ahead log")};
    }
    return std::nullopt;
}

// SQLite falls back to reading a file it may not write without saying so; every save would
// then fail. Such a store is refused while its reason can still be told.
std::optional<StoreError> refuseUnwritable(sqlite3 *connection, const QString &path)
{
    if (sqlite3_db_readonly(connection, "main") != 1) {
        return std::nullopt;
    }
    const int error = ::access(QFile::encodeName(path).constData(), W_OK) == 0 ? 0 : errno;
    return StoreError{QStringLiteral("%1 cannot be written: %2")
                          .arg(path, error != 0 ? qt_error_string(error) : QStringLiteral("it opened read-only"))};
}

// A database that another program keeps in the store's place is left exactly as it is: only
// an empty one, or one that carries the store's metadata, is the store.
std::optional<StoreError> refuseForeign(sqlite3 *connection, const QString &path)
{
    SqliteStatement statement(connection,
                              QStringLiteral("SELECT count(*), count(CASE WHEN type = 'table' AND "
                                             "name = 'StoreMetadata' THEN 1 END) FROM sqlite_master"));
    if (!statement.isValid() || statement.step() != SQLITE_ROW) {
        return StoreError{sqliteErrorText(connection)};
    }
    const bool hasObjects = statement.column(0).toLongLong() > 0;
    const bool hasMetadata = statement.column(1).toLongLong() > 0;
    if (hasObjects && !hasMetadata) {
        return StoreError{QStringLiteral("%1 is not a Calvero store: it holds other data").arg(path)};
    }
    return std::nullopt;
}

std::optional<QString> storedSchemaVersion(sqlite3 *connection)
{
    SqliteStatement statement(connection,
                              QStringLiteral("SELECT value FROM StoreMetadata WHERE key = 'schemaVersion'"));
    if (statement.isValid() && statement.step() == SQLITE_ROW) {
        return statement.column(0).toString();
    }
    return std::nullopt;
}

std::optional<StoreError> createSchema(sqlite3 *connection)
{
    QString message;
    for (const StoreTable &table : storeTables()) {
        if (!sqliteExecute(connection, createTableStatement(table), &message)) {
            return StoreError{message};
        }
    }
    const QString version =
        QStringLiteral("INSERT INTO StoreMetadata (key, value) VALUES ('schemaVersion', '%1')")
            .arg(QString::fromLatin1(storeSchemaVersion));
    if (!sqliteExecute(connection, version, &message)) {
        return StoreError{message};
    }
    return std::nullopt;
}

// A new file gets every table; an existing one must carry this schema version, since
// there is no migration.
std::optional<StoreError> prepareSchema(sqlite3 *connection)
{
    QString message;
    if (!sqliteExecute(connection, QStringLiteral("BEGIN IMMEDIATE"), &message) ||
        !sqliteExecute(connection,
                       QStringLiteral("CREATE TABLE IF NOT EXISTS StoreMetadata "
                                      "(key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)"),
                       &message)) {
        sqliteExecute(connection, QStringLiteral("ROLLBACK"));
        return StoreError{message};
    }
    std::optional<StoreError> error;
    const std::optional<QString> version = storedSchemaVersion(connection);
    if (!version) {
        error = createSchema(connection);
    } else if (*version != QLatin1String(storeSchemaVersion)) {
        error = StoreError{QStringLiteral("The store has schema version %1; this version of Calvero reads %2")
                               .arg(*version, QString::fromLatin1(storeSchemaVersion))};
    }
    if (error || !sqliteExecute(connection, QStringLiteral("COMMIT"), &message)) {
        sqliteExecute(connection, QStringLiteral("ROLLBACK"));
        return error ? error : StoreError{message};
    }
    return std::nullopt;
}

} // namespace

ModelContainer::ModelContainer(sqlite3 *connection, QString storePath)
    : connection_(connection)
    , storePath_(std::move(storePath))
    , mainContext_(std::make_unique<ModelContext>(connection))
{
}

ModelContainer::~ModelContainer()
{
    mainContext_.reset();
    sqlite3_close(connection_);
}

std::variant<std::unique_ptr<ModelContainer>, StoreError> ModelContainer::open(const QString &directory)
{
    if (!QDir().mkpath(directory)) {
        return StoreError{QStringLiteral("Cannot create the directory %1").arg(directory)};
    }
    const QString path = QDir(directory).filePath(QString::fromLatin1(storeFileName));
    sqlite3 *connection = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &connection, flags, nullptr) != SQLITE_OK) {
        StoreError error{connection ? sqliteErrorText(connection) : QStringLiteral("out of memory")};
        sqlite3_close(connection);
        return error;
    }
    sqlite3_busy_timeout(connection, 2000);
    std::optional<StoreError> error = refuseUnwritable(connection, path);
    if (!error) {
        error = refuseForeign(connection, path);
    }
    if (!error) {
        error = useWriteAheadLog(connection);
    }
    if (!error) {
        error = prepareSchema(connection);
    }
    if (error) {
        sqlite3_close(connection);
        return *error;
    }
    return std::unique_ptr<ModelContainer>(new ModelContainer(connection, path));
}

QString ModelContainer::sharedStoreDirectory()
{
    if (!sharedDirectoryOverride().isEmpty()) {
        return sharedDirectoryOverride();
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void ModelContainer::setSharedStoreDirectory(const QString &directory)
{
    sharedDirectoryOverride() = directory;
}

ModelContainer &sharedModelContainer()
{
    static std::unique_ptr<ModelContainer> container = [] {
        const QString directory = ModelContainer::sharedStoreDirectory();
        auto opened = ModelContainer::open(directory);
        if (auto *error = std::get_if<StoreError>(&opened)) {
            std::fprintf(stderr, "Calvero cannot open its store in %s: %s\n", qPrintable(directory),
                         qPrintable(error->message));
            std::exit(EXIT_FAILURE);
        }
        return std::move(std::get<std::unique_ptr<ModelContainer>>(opened));
    }();
    return *container;
}

} // namespace corvane
