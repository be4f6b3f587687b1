#include "corvane/session/SessionManager.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"

#include <algorithm>

namespace corvane {

SessionManager::SessionManager(SSHSessionConfiguration configuration)
    : configuration_(std::move(configuration))
{
}

SessionManager::~SessionManager() = default;

SessionManager &SessionManager::shared()
{
    static SessionManager manager;
    return manager;
}

void SessionManager::setActiveSessionId(const std::optional<QUuid> &id)
{
    if (activeSessionId_ == id) {
        return;
    }
    activeSessionId_ = id;
    emit activeSessionIdChanged();
}

bool SessionManager::holds(const SSHSession *session) const
{
    return std::any_of(sessions_.begin(), sessions_.end(),
                       [session](const std::shared_ptr<SSHSession> &held) { return held.get() == session; });
}

std::shared_ptr<SSHSession> SessionManager::openSession(const std::shared_ptr<ServerProfile> &profile)
{
    auto session = std::make_shared<SSHSession>(profile, configuration_);
    sessions_.push_back(session);
    emit sessionsChanged();
    setActiveSessionId(session->id());
    // A session closed before the event loop gets here never connects.
    std::weak_ptr<SSHSession> pending = session;
    QMetaObject::invokeMethod(
        this,
        [this, pending] {
            if (std::shared_ptr<SSHSession> opened = pending.lock(); opened && holds(opened.get())) {
                opened->connect();
            }
        },
        Qt::QueuedConnection);
    return session;
}

void SessionManager::closeSession(const std::shared_ptr<SSHSession> &session)
{
    if (!session) {
        return;
    }
    session->disconnect();
    const QUuid id = session->id();
    const auto removed =
        std::erase_if(sessions_, [&id](const std::shared_ptr<SSHSession> &held) { return held->id() == id; });
    if (removed > 0) {
        emit sessionsChanged();
    }
    if (activeSessionId_ == id) {
        setActiveSessionId(sessions_.empty() ? std::nullopt : std::optional<QUuid>(sessions_.back()->id()));
    }
}

void SessionManager::closeSessions(const ServerProfile &profile)
{
    for (const std::shared_ptr<SSHSession> &session : sessions(profile)) {
        closeSession(session);
    }
}

std::vector<std::shared_ptr<SSHSession>> SessionManager::sessions(const ServerProfile &profile) const
{
    std::vector<std::shared_ptr<SSHSession>> matching;
    for (const std::shared_ptr<SSHSession> &session : sessions_) {
        if (session->profile()->id() == profile.id()) {
            matching.push_back(session);
        }
    }
    return matching;
}

} // namespace corvane
