#pragma once

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <optional>
#include <vector>

namespace corvane {

// One stored record: the column values of its table, in the table's column order. Every
// table keeps the record's id in its first column.
using StoreRow = std::vector<QVariant>;

// The base of every stored model. A model object is a reference type: the model context
// keeps exactly one object per stored id, so two objects are the same record exactly when
// they are the same object. `changed` fires after a stored property really changed.
//
// A stored model type also provides, for the model context:
//   static constexpr const char *storeTableName;                 // its table in the store
//   static std::shared_ptr<Model> fromStoreRow(const StoreRow &); // null for a malformed row
class PersistentModel : public QObject {
    Q_OBJECT

public:
    const QUuid &id() const { return id_; }

    virtual const char *tableName() const = 0;
    virtual StoreRow storeRow() const = 0;

signals:
    void changed();

protected:
    explicit PersistentModel(const QUuid &id)
        : id_(id)
    {
    }

    // A row of `columnCount` empty columns but the id, for `storeRow`.
    StoreRow newStoreRow(size_t columnCount) const;

    // Stores a new value and announces it, only when it differs from the old one.
    template <class T> void update(T &field, const T &value)
    {
        if (field == value) {
            return;
        }
        field = value;
        emit changed();
    }

private:
    QUuid id_;
};

// Conversions between model values and the values kept in store columns.
namespace storevalue {

QVariant fromUuid(const QUuid &value);
QVariant fromOptionalUuid(const std::optional<QUuid> &value);
QVariant fromDate(const QDateTime &value);
QVariant fromOptionalDate(const std::optional<QDateTime> &value);
QVariant fromTexts(const QStringList &value);
QVariant fromInteger(int64_t value);
QVariant fromBool(bool value);

QUuid toUuid(const QVariant &value); // null when the text is not a UUID
// The id of a stored row, or null when the row does not have `columnCount` columns or its
// id is not a UUID: such a row was edited outside the program and is not read.
QUuid toRowId(const StoreRow &row, size_t columnCount);
std::optional<QUuid> toOptionalUuid(const QVariant &value);
QDateTime toDate(const QVariant &value);
std::optional<QDateTime> toOptionalDate(const QVariant &value);
QStringList toTexts(const QVariant &value); // empty for anything but a JSON array
QString toText(const QVariant &value);
int64_t toInteger(const QVariant &value);
bool toBool(const QVariant &value);

} // namespace storevalue

} // namespace corvane
