#pragma once

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/StoreError.h"

#include <QString>

#include <memory>
#include <variant>

struct sqlite3;

namespace corvane {

// The persistent store: the SQLite file "default.store" with the current schema, written
// through a write-ahead log, and the main model context over it.
class ModelContainer {
public:
    static constexpr const char *storeFileName = "default.store";

    // Opens (creating when missing) the store in the directory.
    static std::variant<std::unique_ptr<ModelContainer>, StoreError> open(const QString &directory);
    ~ModelContainer();

    ModelContainer(const ModelContainer &) = delete;
    ModelContainer &operator=(const ModelContainer &) = delete;

    ModelContext &mainContext() { return *mainContext_; }
    const QString &storePath() const { return storePath_; }

    // Where the process-wide container lives: the application data directory unless a
    // directory was set before its first use (tests point it at a temporary one).
    static QString sharedStoreDirectory();
    static void setSharedStoreDirectory(const QString &directory);

private:
    ModelContainer(sqlite3 *connection, QString storePath);

    sqlite3 *connection_;
    QString storePath_;
    std::unique_ptr<ModelContext> mainContext_;
};

// The process-wide container, opened on first use. When the store cannot be opened the
// process stops with a message on standard error.
ModelContainer &sharedModelContainer();

} // namespace corvane
