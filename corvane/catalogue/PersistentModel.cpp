#include "corvane/catalogue/PersistentModel.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvane {

StoreRow PersistentModel::newStoreRow(size_t columnCount) const
{
    StoreRow row(columnCount);
    row.front() = storevalue::fromUuid(id_);
    return row;
}

namespace storevalue {

QVariant fromUuid(const QUuid &value)
{
    return value.toString(QUuid::WithoutBraces);
}

QVariant fromOptionalUuid(const std::optional<QUuid> &value)
{
    return value ? fromUuid(*value) : QVariant();
}

QVariant fromDate(const QDateTime &value)
{
    return QVariant::fromValue<qint64>(value.toMSecsSinceEpoch());
}

QVariant fromOptionalDate(const std::optional<QDateTime> &value)
{
    return value ? fromDate(*value) : QVariant();
}

QVariant fromTexts(const QStringList &value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(value)).toJson(QJsonDocument::Compact));
}

QVariant fromInteger(int64_t value)
{
    return QVariant::fromValue<qint64>(value);
}

QVariant fromBool(bool value)
{
    return QVariant::fromValue<qint64>(value ? 1 : 0);
}

QUuid toUuid(const QVariant &value)
{
    return QUuid::fromString(value.toString());
}

QUuid toRowId(const StoreRow &row, size_t columnCount)
{
    if (row.size() != columnCount || row.empty()) {
        return QUuid();
    }
    return toUuid(row.front());
}

std::optional<QUuid> toOptionalUuid(const QVariant &value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    QUuid uuid = toUuid(value);
    return uuid.isNull() ? std::nullopt : std::optional<QUuid>(uuid);
}

QDateTime toDate(const QVariant &value)
{
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

std::optional<QDateTime> toOptionalDate(const QVariant &value)
{
    if (value.isNull()) {
        return std::nullopt;
    }
    return toDate(value);
}

QStringList toTexts(const QVariant &value)
{
    QJsonDocument document = QJsonDocument::fromJson(value.toString().toUtf8());
    QStringList texts;
    for (const QJsonValue &element : document.array()) {
        texts.append(element.toString());
    }
    return texts;
}

QString toText(const QVariant &value)
{
    return value.toString();
}

int64_t toInteger(const QVariant &value)
{
    return value.toLongLong();
}

bool toBool(const QVariant &value)
{
    return value.toLongLong() != 0;
}

} // namespace storevalue
} // namespace corvane
