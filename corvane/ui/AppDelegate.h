#pragma once

#include <QObject>

namespace corvane {

class SessionManager;

// Reacts to the application quitting: every session is disconnected, in list order, before
// the event loop ends, so each one's closing audit entry is stored.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(SessionManager &sessionManager, QObject *parent = nullptr);

    void applicationWillTerminate();
    // Disconnects each session whatever its state; the list and the active session stay.
    void disconnectAllSessions();

private:
    SessionManager &sessionManager_;
};

} // namespace corvane
