#pragma once

#include <QString>

namespace corvane {

// Where a session's connection stands. Only `failed` carries a payload: its message.
class SessionState {
public:
    enum class Case { failed, idle, verifyingHostKey, connecting, connected, disconnected };

    static SessionState failed(QString message) { return SessionState(Case::failed, std::move(message)); }
    static SessionState idle() { return SessionState(Case::idle); }
    static SessionState verifyingHostKey() { return SessionState(Case::verifyingHostKey); }
    static SessionState connecting() { return SessionState(Case::connecting); }
    static SessionState connected() { return SessionState(Case::connected); }
    static SessionState disconnected() { return SessionState(Case::disconnected); }

    Case kind() const { return case_; }
    bool is(Case value) const { return case_ == value; }
    // The failure message; empty for every other case.
    const QString &message() const { return message_; }
    QString displayText() const;

    friend bool operator==(const SessionState &, const SessionState &) = default;

private:
    explicit SessionState(Case value, QString message = {})
        : case_(value)
        , message_(std::move(message))
    {
    }

    Case case_;
    QString message_;
};

} // namespace corvane
