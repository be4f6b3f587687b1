#include "corvane/ui/AppDelegate.h"

#include "corvane/session/SSHSession.h"
#include "corvane/session/SessionManager.h"

#include <QCoreApplication>

namespace corvane {

AppDelegate::AppDelegate(SessionManager &sessionManager, QObject *parent)
    : QObject(parent)
    , sessionManager_(sessionManager)
{
    if (QCoreApplication *application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    }
}

void AppDelegate::applicationWillTerminate()
{
    // Synchronous: a task queued for later would never run once the event loop has ended.
    disconnectAllSessions();
}

void AppDelegate::disconnectAllSessions()
{
    // A copy, so a session that changes the list while disconnecting cannot upset the walk.
    const auto sessions = sessionManager_.sessions();
    for (const auto &session : sessions) {
        session->disconnect();
    }
}

} // namespace corvane
