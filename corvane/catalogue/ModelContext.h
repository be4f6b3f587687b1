#pragma once

#include "corvane/catalogue/PersistentModel.h"
#include "corvane/catalogue/StoreError.h"

#include <QObject>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct sqlite3;

namespace corvane {

// The working set of stored models on the main thread. It keeps one object per stored id
// (its identity map), so every fetch of a record yields the same object. Inserts, deletes
// and property changes are pending until `save()` writes them in one transaction.
// `changed` fires whenever the set of models or a model's property changes, so views
// re-query.
class ModelContext : public QObject {
    Q_OBJECT

public:
    // The connection is borrowed; its owner outlives the context.
    explicit ModelContext(sqlite3 *connection, QObject *parent = nullptr);
    ~ModelContext() override;

    // Every model of the type: stored ones in storage order, then pending inserts in the
    // order they were inserted; pending deletes are left out.
    template <class Model> std::vector<std::shared_ptr<Model>> fetch()
    {
        std::vector<std::shared_ptr<Model>> models;
        for (auto &model : fetchTable(Model::storeTableName, &makeModel<Model>)) {
            models.push_back(std::static_pointer_cast<Model>(model));
        }
        return models;
    }

    void insert(const std::shared_ptr<PersistentModel> &model);
    void remove(const std::shared_ptr<PersistentModel> &model);
    bool hasChanges() const;
    std::optional<StoreError> save();

    // The error of the last fetch that could not read the store, if any.
    const std::optional<StoreError> &lastFetchError() const { return lastFetchError_; }

signals:
    void changed();

private:
    using Key = std::pair<std::string, QUuid>;
    using ModelFactory = std::shared_ptr<PersistentModel> (*)(const StoreRow &);

    template <class Model> static std::shared_ptr<PersistentModel> makeModel(const StoreRow &row)
    {
        return Model::fromStoreRow(row);
    }

    static Key keyOf(const PersistentModel &model);
    std::vector<std::shared_ptr<PersistentModel>> fetchTable(const char *table, ModelFactory make);
    std::shared_ptr<PersistentModel> registeredOrMade(const char *table, const StoreRow &row,
                                                      ModelFactory make);
    void registerModel(const Key &key, const std::shared_ptr<PersistentModel> &model);
    void unregisterModel(const Key &key);
    std::optional<StoreError> writePending();

    sqlite3 *connection_;
    std::map<Key, std::shared_ptr<PersistentModel>> registered_;
    std::vector<Key> pendingInserts_; // in insertion order
    std::set<Key> pendingUpdates_;
    std::map<Key, std::shared_ptr<PersistentModel>> pendingDeletes_;
    std::optional<StoreError> lastFetchError_;
};

} // namespace corvane
