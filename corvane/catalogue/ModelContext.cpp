#include "corvane/catalogue/ModelContext.h"

#include "corvane/catalogue/SqliteStatement.h"
#include "corvane/catalogue/StoreSchema.h"

#include <QStringList>

#include <algorithm>
#include <sqlite3.h>

namespace corvane {
namespace {

QString columnList(const StoreTable &table)
{
    QStringList names;
    for (const StoreColumn &column : table.columns) {
        names.append(QString::fromLatin1(column.name));
    }
    return names.join(QStringLiteral(", "));
}

QString selectStatement(const StoreTable &table)
{
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
        .arg(columnList(table), QString::fromLatin1(table.name));
}

QString upsertStatement(const StoreTable &table)
{
    QStringList placeholders;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        placeholders.append(QStringLiteral("?"));
    }
    return QStringLiteral("INSERT OR REPLACE INTO %1 (%2) VALUES (%3)")
        .arg(QString::fromLatin1(table.name), columnList(table), placeholders.join(QStringLiteral(", ")));
}

QString deleteStatement(const StoreTable &table)
{
    return QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(QString::fromLatin1(table.name));
}

std::optional<StoreError> writeRow(sqlite3 *connection, const PersistentModel &model)
{
    const StoreTable *table = findStoreTable(model.tableName());
    const StoreRow row = model.storeRow();
    if (!table || row.size() != table->columns.size()) {
        return StoreError{
            QStringLiteral("No store table for %1").arg(QString::fromLatin1(model.tableName()))};
    }
    SqliteStatement statement(connection, upsertStatement(*table));
    for (size_t i = 0; statement.isValid() && i < row.size(); ++i) {
        statement.bind(int(i + 1), row[i]);
    }
    if (!statement.isValid() || statement.step() != SQLITE_DONE) {
        return StoreError{sqliteErrorText(connection)};
    }
    return std::nullopt;
}

std::optional<StoreError> deleteRow(sqlite3 *connection, const PersistentModel &model)
{
    const StoreTable *table = findStoreTable(model.tableName());
    if (!table) {
        return StoreError{
            QStringLiteral("No store table for %1").arg(QString::fromLatin1(model.tableName()))};
    }
    SqliteStatement statement(connection, deleteStatement(*table));
    if (!statement.isValid() || !statement.bind(1, storevalue::fromUuid(model.id())) ||
        statement.step() != SQLITE_DONE) {
        return StoreError{sqliteErrorText(connection)};
    }
    return std::nullopt;
}

} // namespace

ModelContext::ModelContext(sqlite3 *connection, QObject *parent)
    : QObject(parent)
    , connection_(connection)
{
}

ModelContext::~ModelContext() = default;

ModelContext::Key ModelContext::keyOf(const PersistentModel &model)
{
    return {model.tableName(), model.id()};
}

void ModelContext::registerModel(const Key &key, const std::shared_ptr<PersistentModel> &model)
{
    registered_[key] = model;
    PersistentModel *raw = model.get();
    connect(raw, &PersistentModel::changed, this, [this, key, raw] {
        auto found = registered_.find(key);
        if (found == registered_.end() || found->second.get() != raw) {
            return;
        }
        if (std::find(pendingInserts_.begin(), pendingInserts_.end(), key) == pendingInserts_.end()) {
            pendingUpdates_.insert(key);
        }
        emit changed();
    });
}

void ModelContext::unregisterModel(const Key &key)
{
    auto found = registered_.find(key);
    if (found == registered_.end()) {
        return;
    }
    disconnect(found->second.get(), nullptr, this, nullptr);
    registered_.erase(found);
}

void ModelContext::insert(const std::shared_ptr<PersistentModel> &model)
{
    if (!model) {
        return;
    }
    const Key key = keyOf(*model);
    auto found = registered_.find(key);
    if (found != registered_.end() && found->second == model) {
        return;
    }
    // Another object with the same id gives way: the id is unique, the newest object wins.
    unregisterModel(key);
    pendingDeletes_.erase(key);
    pendingUpdates_.erase(key);
    registerModel(key, model);
    if (std::find(pendingInserts_.begin(), pendingInserts_.end(), key) == pendingInserts_.end()) {
        pendingInserts_.push_back(key);
    }
    emit changed();
}

void ModelContext::remove(const std::shared_ptr<PersistentModel> &model)
{
    if (!model) {
        return;
    }
    const Key key = keyOf(*model);
    auto found = registered_.find(key);
    if (found == registered_.end() || found->second != model) {
        return;
    }
    unregisterModel(key);
    pendingUpdates_.erase(key);
    auto inserted = std::find(pendingInserts_.begin(), pendingInserts_.end(), key);
    if (inserted != pendingInserts_.end()) {
        pendingInserts_.erase(inserted); // never stored, nothing to delete
    } else {
        pendingDeletes_[key] = model;
    }
    emit changed();
}

bool ModelContext::hasChanges() const
{
    return !pendingInserts_.empty() || !pendingUpdates_.empty() || !pendingDeletes_.empty();
}

std::shared_ptr<PersistentModel> ModelContext::registeredOrMade(const char *table, const StoreRow &row,
                                                                ModelFactory make)
{
    const Key key{table, storevalue::toUuid(row.empty() ? QVariant() : row.front())};
    if (key.second.isNull() || pendingDeletes_.count(key)) {
        return nullptr;
    }
    auto found = registered_.find(key);
    if (found != registered_.end()) {
        return found->second; // unsaved changes in memory win over the stored values
    }
    std::shared_ptr<PersistentModel> model = make(row);
    if (model) {
        registerModel(key, model);
    }
    return model;
}

std::vector<std::shared_ptr<PersistentModel>> ModelContext::fetchTable(const char *tableName,
                                                                       ModelFactory make)
{
    std::vector<std::shared_ptr<PersistentModel>> models;
    const StoreTable *table = findStoreTable(tableName);
    if (!table) {
        lastFetchError_ =
            StoreError{QStringLiteral("No store table for %1").arg(QString::fromLatin1(tableName))};
        return models;
    }
    SqliteStatement statement(connection_, selectStatement(*table));
    if (!statement.isValid()) {
        lastFetchError_ = StoreError{sqliteErrorText(connection_)};
        return models;
    }
    int result = SQLITE_ROW;
    while ((result = statement.step()) == SQLITE_ROW) {
        StoreRow row(table->columns.size());
        for (size_t i = 0; i < row.size(); ++i) {
            row[i] = statement.column(int(i));
        }
        if (auto model = registeredOrMade(tableName, row, make)) {
            models.push_back(std::move(model));
        }
    }
    lastFetchError_ =
        result == SQLITE_DONE ? std::nullopt : std::optional(StoreError{sqliteErrorText(connection_)});
    for (const Key &key : pendingInserts_) {
        if (key.first == tableName) {
            models.push_back(registered_.at(key));
        }
    }
    return models;
}

std::optional<StoreError> ModelContext::writePending()
{
    for (const auto &[key, model] : pendingDeletes_) {
        if (auto error = deleteRow(connection_, *model)) {
            return error;
        }
    }
    for (const Key &key : pendingInserts_) {
        if (auto error = writeRow(connection_, *registered_.at(key))) {
            return error;
        }
    }
    for (const Key &key : pendingUpdates_) {
        if (auto error = writeRow(connection_, *registered_.at(key))) {
            return error;
        }
    }
    return std::nullopt;
}

std::optional<StoreError> ModelContext::save()
{
    if (!hasChanges()) {
        return std::nullopt;
    }
    QString message;
    if (!sqliteExecute(connection_, QStringLiteral("BEGIN IMMEDIATE"), &message)) {
        return StoreError{message};
    }
    if (auto error = writePending()) {
        sqliteExecute(connection_, QStringLiteral("ROLLBACK"));
        return error; // the changes stay pending, so a later save can try again
    }
    if (!sqliteExecute(connection_, QStringLiteral("COMMIT"), &message)) {
        sqliteExecute(connection_, QStringLiteral("ROLLBACK"));
        return StoreError{message};
    }
    pendingInserts_.clear();
    pendingUpdates_.clear();
    pendingDeletes_.clear();
    return std::nullopt;
}

} // namespace corvane
