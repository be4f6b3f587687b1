#pragma once

#include <QAbstractTableModel>
#include <QDateTime>

#include <memory>
#include <vector>

namespace corvane {

class AuditLog;
class ModelContext;

// Every stored audit entry, newest first, as the rows of a read-only table. The rows follow
// the store; the "Time" cells say how long ago each entry was made and are refreshed by the
// view's clock.
class AuditLogTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { time, server, group, risk, action };
    static constexpr int columnTotal = 5;

    struct ColumnInfo {
        const char *title;
        int minimumWidth; // 0: none
        int idealWidth;   // 0: none; the column takes what is left
    };
    static const ColumnInfo &columnInfo(int column);

    explicit AuditLogTableModel(ModelContext &context, QObject *parent = nullptr);

    const std::vector<std::shared_ptr<AuditLog>> &entries() const { return entries_; }

    // The moment the "Time" cells measure from; tests set it, the view's clock advances it.
    void setNow(const QDateTime &now);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void reload();
    QString cellText(const AuditLog &entry, int column) const;

    ModelContext &context_;
    std::vector<std::shared_ptr<AuditLog>> entries_;
    QDateTime now_;
};

} // namespace corvane
