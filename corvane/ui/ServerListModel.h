#pragma once

#include <QAbstractListModel>
#include <QUuid>

#include <map>
#include <memory>
#include <vector>

namespace corvane {

class ServerProfile;

// The profiles the server list shows, in order, with the glow level of each row's status dot.
class ServerListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using Profiles = std::vector<std::shared_ptr<ServerProfile>>;

    explicit ServerListModel(QObject *parent = nullptr);

    // Replaces the rows; when the same profiles stay in the same order, only redraws them.
    void setProfiles(Profiles profiles);
    const Profiles &profiles() const { return profiles_; }

    const ServerProfile *profileAt(int row) const;
    std::shared_ptr<ServerProfile> sharedProfileAt(int row) const;
    // The row of the profile with the id, or -1.
    int rowOf(const QUuid &id) const;

    qreal dotLevel(int row) const;
    void setDotLevel(const QUuid &id, qreal level);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    Profiles profiles_;
    std::map<QUuid, qreal> dotLevels_;
};

} // namespace corvane
