#pragma once

#include "corvane/session/SessionState.h"

#include <QWidget>

class QVariantAnimation;

namespace corvane {

class WrappingText;

// A session's state as a coloured dot and its display text. While the session is verifying
// the host key or connecting, an orange ring pulses around the dot. A long text (a failure
// naming a long host) wraps instead of widening the bar it sits in.
class ConnectionStatusView : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal dotDiameter = 8;
    static constexpr qreal ringScale = 1.6;
    static constexpr qreal ringOpacity = 0.4;

    explicit ConnectionStatusView(const SessionState &state, QWidget *parent = nullptr);

    const SessionState &state() const { return state_; }
    void setState(const SessionState &state);

    static QColor dotColor(const SessionState &state);
    static bool showsRing(const SessionState &state);

    bool isRingShown() const;
    QString text() const;

private:
    class Dot;

    void showState();

    SessionState state_;
    Dot *dot_;
    WrappingText *label_;
};

} // namespace corvane
