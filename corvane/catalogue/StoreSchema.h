#pragma once

#include <span>
#include <string_view>

namespace corvane {

// The on-disk layout of the store: one table per stored model, columns in the model's
// declaration order with `id` first. Values are written as the models hand them over
// (texts, 64-bit integers, or null); dates are milliseconds since the epoch in UTC.
struct StoreColumn {
    const char *name;
    const char *declaration;
};

struct StoreTable {
    const char *name;
    std::span<const StoreColumn> columns;
};

inline constexpr const char *storeSchemaVersion = "1.0.0";

std::span<const StoreTable> storeTables();
const StoreTable *findStoreTable(std::string_view name);

} // namespace corvane
