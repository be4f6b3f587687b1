#include "corvane/catalogue/AuditLog.h"

namespace corvane {
namespace {

// Column positions of the store row, in declaration order.
enum Column : size_t {
    idColumn,
    timestampColumn,
    serverDisplayNameColumn,
    serverHostnameColumn,
    clientGroupColumn,
    environmentColumn,
    commandCategoryColumn,
    riskLevelColumn,
    actionDescriptionColumn,
    columnCount
};

} // namespace

AuditLog::AuditLog(QString serverDisplayName, QString serverHostname, QString clientGroup,
                   QString environment, QString commandCategory, QString riskLevel, QString actionDescription)
    : PersistentModel(QUuid::createUuid())
    , timestamp_(QDateTime::currentDateTimeUtc())
    , serverDisplayName_(std::move(serverDisplayName))
    , serverHostname_(std::move(serverHostname))
    , clientGroup_(std::move(clientGroup))
    , environment_(std::move(environment))
    , commandCategory_(std::move(commandCategory))
    , riskLevel_(std::move(riskLevel))
    , actionDescription_(std::move(actionDescription))
{
}

AuditLog::AuditLog(const QUuid &id)
    : PersistentModel(id)
{
}

std::shared_ptr<AuditLog> AuditLog::fromStoreRow(const StoreRow &row)
{
    using namespace storevalue;
    QUuid id = toRowId(row, columnCount);
    if (id.isNull()) {
        return nullptr;
    }
    std::shared_ptr<AuditLog> entry(new AuditLog(id));
    entry->timestamp_ = toDate(row[timestampColumn]);
    entry->serverDisplayName_ = toText(row[serverDisplayNameColumn]);
    entry->serverHostname_ = toText(row[serverHostnameColumn]);
    entry->clientGroup_ = toText(row[clientGroupColumn]);
    entry->environment_ = toText(row[environmentColumn]);
    entry->commandCategory_ = toText(row[commandCategoryColumn]);
    entry->riskLevel_ = toText(row[riskLevelColumn]);
    entry->actionDescription_ = toText(row[actionDescriptionColumn]);
    return entry;
}

StoreRow AuditLog::storeRow() const
{
    using namespace storevalue;
    StoreRow row = newStoreRow(columnCount);
    row[timestampColumn] = fromDate(timestamp_);
    row[serverDisplayNameColumn] = serverDisplayName_;
    row[serverHostnameColumn] = serverHostname_;
    row[clientGroupColumn] = clientGroup_;
    row[environmentColumn] = environment_;
    row[commandCategoryColumn] = commandCategory_;
    row[riskLevelColumn] = riskLevel_;
    row[actionDescriptionColumn] = actionDescription_;
    return row;
}

} // namespace corvane
