#include "corvane/catalogue/CommandSnippet.h"

namespace corvane {
namespace {

// Column positions of the store row, in declaration order.
enum Column : size_t {
    idColumn,
    titleColumn,
    commandColumn,
    serverProfileIdColumn,
    riskClassificationColumn,
    notesColumn,
    createdAtColumn,
    usageCountColumn,
    columnCount
};

} // namespace

CommandSnippet::CommandSnippet(QString title, QString command, std::optional<QUuid> serverProfileId,
                               RiskLevel risk, QString notes)
    : PersistentModel(QUuid::createUuid())
    , title_(std::move(title))
    , command_(std::move(command))
    , serverProfileId_(serverProfileId)
    , riskClassification_(rawValue(risk))
    , notes_(std::move(notes))
    , createdAt_(QDateTime::currentDateTimeUtc())
{
}

CommandSnippet::CommandSnippet(const QUuid &id)
    : PersistentModel(id)
{
}

std::shared_ptr<CommandSnippet> CommandSnippet::fromStoreRow(const StoreRow &row)
{
    using namespace storevalue;
    QUuid id = toRowId(row, columnCount);
    if (id.isNull()) {
        return nullptr;
    }
    std::shared_ptr<CommandSnippet> snippet(new CommandSnippet(id));
    snippet->title_ = toText(row[titleColumn]);
    snippet->command_ = toText(row[commandColumn]);
    snippet->serverProfileId_ = toOptionalUuid(row[serverProfileIdColumn]);
    snippet->riskClassification_ = toText(row[riskClassificationColumn]);
    snippet->notes_ = toText(row[notesColumn]);
    snippet->createdAt_ = toDate(row[createdAtColumn]);
    snippet->usageCount_ = toInteger(row[usageCountColumn]);
    return snippet;
}

StoreRow CommandSnippet::storeRow() const
{
    using namespace storevalue;
    StoreRow row = newStoreRow(columnCount);
    row[titleColumn] = title_;
    row[commandColumn] = command_;
    row[serverProfileIdColumn] = fromOptionalUuid(serverProfileId_);
    row[riskClassificationColumn] = riskClassification_;
    row[notesColumn] = notes_;
    row[createdAtColumn] = fromDate(createdAt_);
    row[usageCountColumn] = fromInteger(usageCount_);
    return row;
}

RiskLevel CommandSnippet::risk() const
{
    return riskLevelFromRawValue(riskClassification_).value_or(RiskLevel::readOnly);
}

} // namespace corvane
