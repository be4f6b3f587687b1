#pragma once

#include "corvane/catalogue/PersistentModel.h"

#include <memory>

namespace corvane {

// One entry of the audit trail. The profile's fields are copied as texts when the entry is
// written, so later edits or deletion of the profile leave it as it was.
class AuditLog : public PersistentModel {
    Q_OBJECT

public:
    static constexpr const char *storeTableName = "AuditLog";

    // A new entry with a new id, stamped now. Environment and risk are their raw texts.
    AuditLog(QString serverDisplayName, QString serverHostname, QString clientGroup, QString environment,
             QString commandCategory, QString riskLevel, QString actionDescription);

    static std::shared_ptr<AuditLog> fromStoreRow(const StoreRow &row);
    const char *tableName() const override { return storeTableName; }
    StoreRow storeRow() const override;

    const QDateTime &timestamp() const { return timestamp_; }
    const QString &serverDisplayName() const { return serverDisplayName_; }
    const QString &serverHostname() const { return serverHostname_; }
    const QString &clientGroup() const { return clientGroup_; }
    const QString &environment() const { return environment_; }
    const QString &commandCategory() const { return commandCategory_; }
    const QString &riskLevel() const { return riskLevel_; }
    const QString &actionDescription() const { return actionDescription_; }

    void setTimestamp(const QDateTime &value) { update(timestamp_, value); }
    void setServerDisplayName(const QString &value) { update(serverDisplayName_, value); }
    void setServerHostname(const QString &value) { update(serverHostname_, value); }
    void setClientGroup(const QString &value) { update(clientGroup_, value); }
    void setEnvironment(const QString &value) { update(environment_, value); }
    void setCommandCategory(const QString &value) { update(commandCategory_, value); }
    void setRiskLevel(const QString &value) { update(riskLevel_, value); }
    void setActionDescription(const QString &value) { update(actionDescription_, value); }

private:
    explicit AuditLog(const QUuid &id);

    QDateTime timestamp_;
    QString serverDisplayName_;
    QString serverHostname_;
    QString clientGroup_;
    QString environment_;
    QString commandCategory_;
    QString riskLevel_;
    QString actionDescription_;
};

} // namespace corvane
