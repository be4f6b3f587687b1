#include "corvane/ui/ServerListModel.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/ServerRow.h"

#include <algorithm>

namespace corvane {

ServerListModel::ServerListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void ServerListModel::setProfiles(Profiles profiles)
{
    if (profiles == profiles_) {
        if (!profiles_.empty()) {
            emit dataChanged(index(0), index(int(profiles_.size()) - 1));
        }
        return;
    }
    beginResetModel();
    profiles_ = std::move(profiles);
    endResetModel();
}

const ServerProfile *ServerListModel::profileAt(int row) const
{
    return row >= 0 && size_t(row) < profiles_.size() ? profiles_[size_t(row)].get() : nullptr;
}

std::shared_ptr<ServerProfile> ServerListModel::sharedProfileAt(int row) const
{
    return row >= 0 && size_t(row) < profiles_.size() ? profiles_[size_t(row)] : nullptr;
}

int ServerListModel::rowOf(const QUuid &id) const
{
    const auto found = std::find_if(profiles_.begin(), profiles_.end(),
                                    [&id](const auto &profile) { return profile->id() == id; });
    return found == profiles_.end() ? -1 : int(found - profiles_.begin());
}

qreal ServerListModel::dotLevel(int row) const
{
    const ServerProfile *profile = profileAt(row);
    if (!profile) {
        return 0;
    }
    const auto found = dotLevels_.find(profile->id());
    return found == dotLevels_.end() ? 0 : found->second;
}

void ServerListModel::setDotLevel(const QUuid &id, qreal level)
{
    if (level <= 0) {
        dotLevels_.erase(id);
    } else {
        dotLevels_[id] = level;
    }
    if (const int row = rowOf(id); row >= 0) {
        emit dataChanged(index(row), index(row));
    }
}

int ServerListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(profiles_.size());
}

QVariant ServerListModel::data(const QModelIndex &index, int role) const
{
    const ServerProfile *profile = profileAt(index.row());
    if (!profile || index.parent().isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return profile->displayName();
    case Qt::AccessibleTextRole:
        return profile->displayName() + QLatin1Char(' ') + ServerRow::userAtHost(*profile);
    default:
        return {};
    }
}

} // namespace corvane
