#pragma once

#include "corvane/session/SSHSessionConfiguration.h"

#include <QObject>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class ServerProfile;
class SSHSession;

// Owns every open session of the application, in the order they were opened, and knows which
// one is in front. Sessions leave only through closeSession, which disconnects them first.
class SessionManager : public QObject {
    Q_OBJECT

public:
    explicit SessionManager(SSHSessionConfiguration configuration = {});
    ~SessionManager() override;

    static SessionManager &shared();

    const std::vector<std::shared_ptr<SSHSession>> &sessions() const { return sessions_; }
    const std::optional<QUuid> &activeSessionId() const { return activeSessionId_; }
    void setActiveSessionId(const std::optional<QUuid> &id);

    // A new session for the profile, made active; it starts connecting from the event loop.
    std::shared_ptr<SSHSession> openSession(const std::shared_ptr<ServerProfile> &profile);
    void closeSession(const std::shared_ptr<SSHSession> &session);
    void closeSessions(const ServerProfile &profile);
    // The profile's sessions (matched by the profile's id), in list order.
    std::vector<std::shared_ptr<SSHSession>> sessions(const ServerProfile &profile) const;

signals:
    void sessionsChanged();
    void activeSessionIdChanged();

private:
    bool holds(const SSHSession *session) const;

    SSHSessionConfiguration configuration_;
    std::vector<std::shared_ptr<SSHSession>> sessions_;
    std::optional<QUuid> activeSessionId_;
};

} // namespace corvane
