#include "corvane/catalogue/ServerProfile.h"

namespace corvane {
namespace {

// Column positions of the store row, in declaration order.
enum Column : size_t {
    idColumn,
    displayNameColumn,
    sshAliasColumn,
    hostnameColumn,
    portColumn,
    usernameColumn,
    environmentColumn,
    clientGroupColumn,
    tagsColumn,
    notesColumn,
    workingDirectoryColumn,
    preferredIdentityColumn,
    isFavoriteColumn,
    lastConnectedColumn,
    sortOrderColumn,
    createdAtColumn,
    columnCount
};

} // namespace

ServerProfile::ServerProfile(QString displayName, QString sshAlias, QString hostname, int64_t port,
                             QString username, ServerEnvironment environment, QString clientGroup,
                             QStringList tags, QString notes, QString workingDirectory,
                             QString preferredIdentity, bool isFavorite, int64_t sortOrder)
    : PersistentModel(QUuid::createUuid())
    , displayName_(std::move(displayName))
    , sshAlias_(std::move(sshAlias))
    , hostname_(std::move(hostname))
    , port_(port)
    , username_(std::move(username))
    , environment_(environment)
    , clientGroup_(std::move(clientGroup))
    , tags_(std::move(tags))
    , notes_(std::move(notes))
    , workingDirectory_(std::move(workingDirectory))
    , preferredIdentity_(std::move(preferredIdentity))
    , isFavorite_(isFavorite)
    , sortOrder_(sortOrder)
    , createdAt_(QDateTime::currentDateTimeUtc())
{
}

ServerProfile::ServerProfile(const QUuid &id)
    : PersistentModel(id)
{
}

std::shared_ptr<ServerProfile> ServerProfile::fromStoreRow(const StoreRow &row)
{
    using namespace storevalue;
    QUuid id = toRowId(row, columnCount);
    if (id.isNull()) {
        return nullptr;
    }
    std::shared_ptr<ServerProfile> profile(new ServerProfile(id));
    profile->displayName_ = toText(row[displayNameColumn]);
    profile->sshAlias_ = toText(row[sshAliasColumn]);
    profile->hostname_ = toText(row[hostnameColumn]);
    profile->port_ = toInteger(row[portColumn]);
    profile->username_ = toText(row[usernameColumn]);
    // A record edited outside the program may name no known environment.
    profile->environment_ = serverEnvironmentFromRawValue(toText(row[environmentColumn]))
                                .value_or(ServerEnvironment::development);
    profile->clientGroup_ = toText(row[clientGroupColumn]);
    profile->tags_ = toTexts(row[tagsColumn]);
    profile->notes_ = toText(row[notesColumn]);
    profile->workingDirectory_ = toText(row[workingDirectoryColumn]);
    profile->preferredIdentity_ = toText(row[preferredIdentityColumn]);
    profile->isFavorite_ = toBool(row[isFavoriteColumn]);
    profile->lastConnected_ = toOptionalDate(row[lastConnectedColumn]);
    profile->sortOrder_ = toInteger(row[sortOrderColumn]);
    profile->createdAt_ = toDate(row[createdAtColumn]);
    return profile;
}

StoreRow ServerProfile::storeRow() const
{
    using namespace storevalue;
    StoreRow row = newStoreRow(columnCount);
    row[displayNameColumn] = displayName_;
    row[sshAliasColumn] = sshAlias_;
    row[hostnameColumn] = hostname_;
    row[portColumn] = fromInteger(port_);
    row[usernameColumn] = username_;
    row[environmentColumn] = rawValue(environment_);
    row[clientGroupColumn] = clientGroup_;
    row[tagsColumn] = fromTexts(tags_);
    row[notesColumn] = notes_;
    row[workingDirectoryColumn] = workingDirectory_;
    row[preferredIdentityColumn] = preferredIdentity_;
    row[isFavoriteColumn] = fromBool(isFavorite_);
    row[lastConnectedColumn] = fromOptionalDate(lastConnected_);
    row[sortOrderColumn] = fromInteger(sortOrder_);
    row[createdAtColumn] = fromDate(createdAt_);
    return row;
}

QString ServerProfile::sshDestination() const
{
    if (!sshAlias_.isEmpty()) {
        return sshAlias_;
    }
    if (!username_.isEmpty()) {
        return username_ + QLatin1Char('@') + hostname_;
    }
    return hostname_;
}

QString ServerProfile::displayHost() const
{
    return hostname_.isEmpty() ? sshAlias_ : hostname_;
}

bool ServerProfile::matches(const QString &query) const
{
    const QString needle = query.toLower();
    for (const QString *field : {&displayName_, &hostname_, &sshAlias_, &username_, &clientGroup_}) {
        if (field->toLower().contains(needle)) {
            return true;
        }
    }
    for (const QString &tag : tags_) {
        if (tag.toLower().contains(needle)) {
            return true;
        }
    }
    return false;
}

} // namespace corvane
