#pragma once

#include "corvane/catalogue/PersistentModel.h"
#include "corvane/catalogue/ServerEnvironment.h"

#include <memory>

namespace corvane {

// One server of the catalogue: how to reach it over SSH and how the user files it.
class ServerProfile : public PersistentModel {
    Q_OBJECT

public:
    static constexpr const char *storeTableName = "ServerProfile";

    // A new profile with a new id, created now, never connected.
    explicit ServerProfile(QString displayName, QString sshAlias = {}, QString hostname = {},
                           int64_t port = 22, QString username = {},
                           ServerEnvironment environment = ServerEnvironment::development,
                           QString clientGroup = {}, QStringList tags = {}, QString notes = {},
                           QString workingDirectory = {}, QString preferredIdentity = {},
                           bool isFavorite = false, int64_t sortOrder = 0);

    static std::shared_ptr<ServerProfile> fromStoreRow(const StoreRow &row);
    const char *tableName() const override { return storeTableName; }
    StoreRow storeRow() const override;

    const QString &displayName() const { return displayName_; }
    const QString &sshAlias() const { return sshAlias_; }
    const QString &hostname() const { return hostname_; }
    int64_t port() const { return port_; }
    const QString &username() const { return username_; }
    ServerEnvironment environment() const { return environment_; }
    const QString &clientGroup() const { return clientGroup_; }
    const QStringList &tags() const { return tags_; }
    const QString &notes() const { return notes_; }
    const QString &workingDirectory() const { return workingDirectory_; }
    const QString &preferredIdentity() const { return preferredIdentity_; }
    bool isFavorite() const { return isFavorite_; }
    const std::optional<QDateTime> &lastConnected() const { return lastConnected_; }
    int64_t sortOrder() const { return sortOrder_; }
    const QDateTime &createdAt() const { return createdAt_; }

    void setDisplayName(const QString &value) { update(displayName_, value); }
    void setSshAlias(const QString &value) { update(sshAlias_, value); }
    void setHostname(const QString &value) { update(hostname_, value); }
    void setPort(int64_t value) { update(port_, value); }
    void setUsername(const QString &value) { update(username_, value); }
    void setEnvironment(ServerEnvironment value) { update(environment_, value); }
    void setClientGroup(const QString &value) { update(clientGroup_, value); }
    void setTags(const QStringList &value) { update(tags_, value); }
    void setNotes(const QString &value) { update(notes_, value); }
    void setWorkingDirectory(const QString &value) { update(workingDirectory_, value); }
    void setPreferredIdentity(const QString &value) { update(preferredIdentity_, value); }
    void setIsFavorite(bool value) { update(isFavorite_, value); }
    void setLastConnected(const std::optional<QDateTime> &value) { update(lastConnected_, value); }
    void setSortOrder(int64_t value) { update(sortOrder_, value); }
    void setCreatedAt(const QDateTime &value) { update(createdAt_, value); }

    // The alias when set; else user@host when a user is set; else the host.
    QString sshDestination() const;
    QString displayHost() const;
    bool isProduction() const { return environment_ == ServerEnvironment::production; }
    // Literal, case-insensitive substring search over names, hosts, group and tags.
    bool matches(const QString &query) const;

private:
    explicit ServerProfile(const QUuid &id);

    QString displayName_;
    QString sshAlias_;
    QString hostname_;
    int64_t port_ = 22;
    QString username_;
    ServerEnvironment environment_ = ServerEnvironment::development;
    QString clientGroup_;
    QStringList tags_;
    QString notes_;
    QString workingDirectory_;
    QString preferredIdentity_;
    bool isFavorite_ = false;
    std::optional<QDateTime> lastConnected_;
    int64_t sortOrder_ = 0;
    QDateTime createdAt_;
};

} // namespace corvane
