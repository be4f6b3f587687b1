#pragma once

// Fixtures of the session screens: a session manager whose sessions run the fake ssh, and a
// look at what a terminal view holds.

#include "Kestrix/model/BufferLine.h"
#include "Kestrix/view/TerminalView.h"
#include "corvane/session/SessionManager.h"
#include "tests/corvane/session/SessionTestSupport.h"

#include <QLabel>
#include <QPushButton>

namespace corvane::testing {

class SessionScreenTest : public FakeSshTest {
protected:
    void SetUp() override
    {
        FakeSshTest::SetUp();
        sessions = std::make_unique<SessionManager>(configuration);
    }

    void TearDown() override
    {
        for (const auto &session : std::vector(sessions->sessions())) {
            sessions->closeSession(session);
        }
        sessions.reset();
        FakeSshTest::TearDown();
    }

    std::shared_ptr<ServerProfile> makeProfile(const QString &name = "web",
                                               const QString &host = "host.example",
                                               ServerEnvironment environment = ServerEnvironment::development)
    {
        return std::make_shared<ServerProfile>(name, "", host, 22, "deploy", environment, "Acme");
    }

    std::unique_ptr<SessionManager> sessions;
};

// The text of every line of the terminal, scrollback first.
inline std::string screenText(kestrix::TerminalView &view)
{
    std::string screen;
    kestrix::Terminal &terminal = view.getTerminal();
    for (int64_t row = 0; const kestrix::BufferLine *line = terminal.scrollInvariantLine(row); ++row) {
        screen += line->translateToString(true) + "\n";
    }
    return screen;
}

// The text of the rows on the screen, without the scrollback.
inline std::string visibleText(kestrix::TerminalView &view)
{
    std::string screen;
    kestrix::Terminal &terminal = view.getTerminal();
    const int64_t top = terminal.buffer->yBase();
    for (int64_t row = top; row < top + terminal.rows; ++row) {
        if (const kestrix::BufferLine *line = terminal.scrollInvariantLine(row)) {
            screen += line->translateToString(true) + "\n";
        }
    }
    return screen;
}

inline QStringList labelTexts(const QWidget &root)
{
    QStringList texts;
    for (const QLabel *label : root.findChildren<QLabel *>()) {
        if (!label->text().isEmpty()) {
            texts.append(label->text());
        }
    }
    return texts;
}

inline QStringList buttonTitles(const QWidget &root)
{
    QStringList titles;
    for (const QPushButton *button : root.findChildren<QPushButton *>()) {
        titles.append(button->text());
    }
    return titles;
}

inline QPushButton *buttonTitled(const QWidget &root, const QString &title)
{
    for (QPushButton *button : root.findChildren<QPushButton *>()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

} // namespace corvane::testing
