#include "corvane/ui/AuditLogTableModel.h"

#include "corvane/catalogue/AuditLog.h"
#include "corvane/catalogue/ModelContext.h"
#include "corvane/ui/RelativeTimeText.h"

#include <QCoreApplication>

#include <algorithm>

namespace corvane {
namespace {

constexpr AuditLogTableModel::ColumnInfo columns[] = {
    {"Time", 100, 120}, {"Server", 120, 160}, {"Group", 80, 120}, {"Risk", 80, 100}, {"Action", 0, 0},
};

} // namespace

const AuditLogTableModel::ColumnInfo &AuditLogTableModel::columnInfo(int column)
{
    return columns[std::clamp(column, 0, int(std::size(columns)) - 1)];
}

AuditLogTableModel::AuditLogTableModel(ModelContext &context, QObject *parent)
    : QAbstractTableModel(parent)
    , context_(context)
    , now_(QDateTime::currentDateTimeUtc())
{
    connect(&context_, &ModelContext::changed, this, &AuditLogTableModel::reload);
    reload();
}

void AuditLogTableModel::reload()
{
    auto entries = context_.fetch<AuditLog>();
    // Newest first; of two entries made in the same instant, the later written one leads.
    std::reverse(entries.begin(), entries.end());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto &a, const auto &b) { return a->timestamp() > b->timestamp(); });
    if (entries == entries_) {
        return;
    }
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

void AuditLogTableModel::setNow(const QDateTime &now)
{
    now_ = now;
    if (!entries_.empty()) {
        emit dataChanged(index(0, time), index(int(entries_.size()) - 1, time), {Qt::DisplayRole});
    }
}

int AuditLogTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

int AuditLogTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columnTotal;
}

QString AuditLogTableModel::cellText(const AuditLog &entry, int column) const
{
    switch (column) {
    case time:
        return relativeTimeText(entry.timestamp().secsTo(now_));
    case server:
        return entry.serverDisplayName();
    case group:
        return entry.clientGroup();
    case risk:
        return entry.riskLevel();
    case action:
        return entry.actionDescription();
    default:
        return {};
    }
}

QVariant AuditLogTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(entries_.size()) || role != Qt::DisplayRole) {
        return {};
    }
    return cellText(*entries_[size_t(index.row())], index.column());
}

QVariant AuditLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return {};
    }
    return QCoreApplication::translate("AuditLogView", columnInfo(section).title);
}

Qt::ItemFlags AuditLogTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

} // namespace corvane
