#pragma once

#include "Kestrix/view/TerminalView.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace corvane {

class SSHSession;
class TerminalCoordinator;

// A session's terminal view and its coordinator, made the first time the session is shown and
// kept for the session's whole life, so the screen and scrollback survive every change of
// layout, tab or selected server. It lives as a child of the session and goes with it. A tab
// borrows the view while it shows the session and hands it back (`release`) when it goes.
class TerminalViewRepresentable : public QObject {
    Q_OBJECT

public:
    // The session's representable, made (with its view) on first use.
    static TerminalViewRepresentable &forSession(SSHSession &session);
    // The session's view, if one was made.
    static kestrix::TerminalView *existingView(const SSHSession &session);

    ~TerminalViewRepresentable() override;

    kestrix::TerminalView &view() const { return *view_; }
    TerminalCoordinator &coordinator() const { return *coordinator_; }
    // Puts the view under `holder` (a tab's terminal area), taking it from where it was.
    void embed(QWidget &holder);
    // Takes the view back from `holder` if it is still there, so the holder's end leaves it.
    void release(QWidget &holder);
    // Where the view is shown now; none while no tab holds it.
    QWidget *holder() const;

signals:
    // The view went to another holder, or to none.
    void holderChanged();

private:
    class OutputSink;

    explicit TerminalViewRepresentable(SSHSession &session);

    std::unique_ptr<TerminalCoordinator> coordinator_;
    QPointer<kestrix::TerminalView> view_;
    std::shared_ptr<OutputSink> sink_;
};

} // namespace corvane
