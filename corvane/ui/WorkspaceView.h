#pragma once

#include <QWidget>

#include <memory>

class QLabel;

namespace corvane {

class EnvironmentBadge;
class ServerProfile;

// The detail column for the selected server: which server it is. Its sessions appear here.
class WorkspaceView : public QWidget {
    Q_OBJECT

public:
    explicit WorkspaceView(std::shared_ptr<ServerProfile> profile, QWidget *parent = nullptr);

    const std::shared_ptr<ServerProfile> &profile() const { return profile_; }

private:
    void showProfile();

    std::shared_ptr<ServerProfile> profile_;
    QLabel *nameLabel_;
    EnvironmentBadge *badge_;
    QLabel *reachLabel_;
};

} // namespace corvane
