#include "corvane/catalogue/StoreSchema.h"

#include <array>

namespace corvane {
namespace {

constexpr std::array serverProfileColumns = {
    StoreColumn{"id", "TEXT PRIMARY KEY NOT NULL"},
    StoreColumn{"displayName", "TEXT NOT NULL"},
    StoreColumn{"sshAlias", "TEXT NOT NULL"},
    StoreColumn{"hostname", "TEXT NOT NULL"},
    StoreColumn{"port", "INTEGER NOT NULL"},
    StoreColumn{"username", "TEXT NOT NULL"},
    StoreColumn{"environment", "TEXT NOT NULL"},
    StoreColumn{"clientGroup", "TEXT NOT NULL"},
    StoreColumn{"tags", "TEXT NOT NULL"}, // a JSON array of texts
    StoreColumn{"notes", "TEXT NOT NULL"},
    StoreColumn{"workingDirectory", "TEXT NOT NULL"},
    StoreColumn{"preferredIdentity", "TEXT NOT NULL"},
    StoreColumn{"isFavorite", "INTEGER NOT NULL"},
    StoreColumn{"lastConnected", "INTEGER"},
    StoreColumn{"sortOrder", "INTEGER NOT NULL"},
    StoreColumn{"createdAt", "INTEGER NOT NULL"},
};

constexpr std::array commandSnippetColumns = {
    StoreColumn{"id", "TEXT PRIMARY KEY NOT NULL"},
    StoreColumn{"title", "TEXT NOT NULL"},
    StoreColumn{"command", "TEXT NOT NULL"},
    StoreColumn{"serverProfileId", "TEXT"},
    StoreColumn{"riskClassification", "TEXT NOT NULL"},
    StoreColumn{"notes", "TEXT NOT NULL"},
    StoreColumn{"createdAt", "INTEGER NOT NULL"},
    StoreColumn{"usageCount", "INTEGER NOT NULL"},
};

constexpr std::array auditLogColumns = {
    StoreColumn{"id", "TEXT PRIMARY KEY NOT NULL"},    StoreColumn{"timestamp", "INTEGER NOT NULL"},
    StoreColumn{"serverDisplayName", "TEXT NOT NULL"}, StoreColumn{"serverHostname", "TEXT NOT NULL"},
    StoreColumn{"clientGroup", "TEXT NOT NULL"},       StoreColumn{"environment", "TEXT NOT NULL"},
    StoreColumn{"commandCategory", "TEXT NOT NULL"},   StoreColumn{"riskLevel", "TEXT NOT NULL"},
    StoreColumn{"actionDescription", "TEXT NOT NULL"},
};

constexpr std::array tables = {
    StoreTable{"ServerProfile", serverProfileColumns},
    StoreTable{"AuditLog", auditLogColumns},
    StoreTable{"CommandSnippet", commandSnippetColumns},
};

} // namespace

std::span<const StoreTable> storeTables()
{
    return tables;
}

const StoreTable *findStoreTable(std::string_view name)
{
    for (const StoreTable &table : tables) {
        if (name == table.name) {
            return &table;
        }
    }
    return nullptr;
}

} // namespace corvane
