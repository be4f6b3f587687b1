#pragma once

#include "corvane/catalogue/PersistentModel.h"
#include "corvane/catalogue/RiskLevel.h"

#include <memory>

namespace corvane {

// A saved remote command with its risk, offered by the command palette. It names its profile
// only by id, so deleting the profile leaves the snippet alone.
class CommandSnippet : public PersistentModel {
    Q_OBJECT

public:
    static constexpr const char *storeTableName = "CommandSnippet";

    // A new snippet with a new id, created now, never used.
    explicit CommandSnippet(QString title, QString command,
                            std::optional<QUuid> serverProfileId = std::nullopt,
                            RiskLevel risk = RiskLevel::readOnly, QString notes = {});

    static std::shared_ptr<CommandSnippet> fromStoreRow(const StoreRow &row);
    const char *tableName() const override { return storeTableName; }
    StoreRow storeRow() const override;

    const QString &title() const { return title_; }
    const QString &command() const { return command_; }
    const std::optional<QUuid> &serverProfileId() const { return serverProfileId_; }
    const QString &riskClassification() const { return riskClassification_; }
    const QString &notes() const { return notes_; }
    const QDateTime &createdAt() const { return createdAt_; }
    int64_t usageCount() const { return usageCount_; }

    void setTitle(const QString &value) { update(title_, value); }
    void setCommand(const QString &value) { update(command_, value); }
    void setServerProfileId(const std::optional<QUuid> &value) { update(serverProfileId_, value); }
    void setRiskClassification(const QString &value) { update(riskClassification_, value); }
    void setNotes(const QString &value) { update(notes_, value); }
    void setCreatedAt(const QDateTime &value) { update(createdAt_, value); }
    void setUsageCount(int64_t value) { update(usageCount_, value); }

    // The level named exactly by `riskClassification`; any other text counts as read only.
    RiskLevel risk() const;

private:
    explicit CommandSnippet(const QUuid &id);

    QString title_;
    QString command_;
    std::optional<QUuid> serverProfileId_;
    QString riskClassification_;
    QString notes_;
    QDateTime createdAt_;
    int64_t usageCount_ = 0;
};

} // namespace corvane
