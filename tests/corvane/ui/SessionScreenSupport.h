#pragma once

// Fixtures of the session screens: a session manager whose sessions run the fake ssh, and a
// look at what a terminal view holds.

#include "Kestrix/model/BufferLine.h"
#include "Kestrix/view/TerminalView.h"
#include "corvane/catalogue/AuditLogger.h"
#include "corvane/catalogue/TemporaryStore.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/ContentView.h"
#include "corvane/ui/MainWindow.h"
#include "corvane/ui/ServerListModel.h"
#include "corvane/ui/ServerListView.h"
#include "corvane/ui/WrappingText.h"
#include "tests/corvane/session/SessionTestSupport.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest/QTest>

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

// The real main window over a store of its own, whose sessions run the fake ssh.
class SessionWindowTest : public SessionScreenTest {
protected:
    void TearDown() override
    {
        // A shown window hands its store to the audit logger; the store goes with the test.
        if (AuditLogger::shared().modelContext() == &store.context()) {
            AuditLogger::shared().setModelContext(nullptr);
        }
        SessionScreenTest::TearDown();
    }

    std::shared_ptr<ServerProfile> addServer(const QString &name, const QString &host = "host.example")
    {
        auto profile = makeProfile(name, host);
        store.context().insert(profile);
        EXPECT_FALSE(store.context().save().has_value());
        return profile;
    }

    std::unique_ptr<MainWindow> showWindow()
    {
        auto window = std::make_unique<MainWindow>(store.context(), *sessions);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // Chooses the server's row in the window's list, as a click would.
    static void chooseServer(MainWindow &window, const ServerProfile &profile)
    {
        QListView &list = window.content().serverList().list();
        const auto &model = window.content().serverList().model();
        const int row = model.rowOf(profile.id());
        ASSERT_GE(row, 0);
        list.selectionModel()->setCurrentIndex(list.model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    }

    TemporaryStore store;
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

// The window sizes the fake ssh of mode "winch" printed: one "rows columns" line per change.
inline std::vector<std::pair<int64_t, int64_t>> reportedWindowSizes(kestrix::TerminalView &view)
{
    std::vector<std::pair<int64_t, int64_t>> sizes;
    static const QRegularExpression sizeLine(QStringLiteral("^(\\d+) (\\d+)\\s*$"));
    for (const QString &line : QString::fromStdString(screenText(view)).split(QLatin1Char('\n'))) {
        if (const QRegularExpressionMatch match = sizeLine.match(line); match.hasMatch()) {
            sizes.emplace_back(match.captured(1).toLongLong(), match.captured(2).toLongLong());
        }
    }
    return sizes;
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

// The texts of labels and wrapping texts, in the order they were made.
inline QStringList shownTexts(const QWidget &root)
{
    QStringList texts;
    for (const QWidget *widget : root.findChildren<QWidget *>()) {
        QString text;
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            text = label->text();
        } else if (const auto *wrapping = qobject_cast<const WrappingText *>(widget)) {
            text = wrapping->text();
        }
        if (!text.isEmpty()) {
            texts.append(text);
        }
    }
    return texts;
}

// The widgets a screen itself put there, without the inner parts of its text boxes.
inline QList<QWidget *> ownWidgets(const QWidget &root)
{
    QList<QWidget *> own;
    for (QWidget *widget : root.findChildren<QWidget *>()) {
        bool inner = false;
        for (const QWidget *up = widget->parentWidget(); up != nullptr && up != &root; up = up->parentWidget()) {
            inner = inner || qobject_cast<const WrappingText *>(up) != nullptr;
        }
        if (!inner) {
            own.append(widget);
        }
    }
    return own;
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
