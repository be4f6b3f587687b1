#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/model/BufferLine.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/QuickActionsView.h"
#include "tests/corvane/session/LoopbackSshd.h"
#include "tests/corvane/session/SessionTestSupport.h"

#include <QPushButton>
#include <QtTest/QTest>

namespace corvane {
namespace {

using namespace corvane::testing;

// The session's output shown on a terminal, as the terminal tab shows it.
class TerminalScreen final : public HostOutputSink, public kestrix::TerminalDelegate {
public:
    TerminalScreen()
        : terminal(this, kestrix::TerminalOptions{})
    {
    }

    void feedHostOutput(QByteArrayView bytes) override
    {
        terminal.feedBytes({reinterpret_cast<const uint8_t *>(bytes.data()), size_t(bytes.size())});
    }

    std::string text()
    {
        std::string screen;
        for (int64_t row = 0; const kestrix::BufferLine *line = terminal.scrollInvariantLine(row); ++row) {
            screen += line->translateToString(true) + "\n";
        }
        return screen;
    }

    kestrix::Terminal terminal;
};

TEST(QuickActionsEndToEnd, UptimeRunsOnTheServerAndItsOutputAppearsInTheTerminal)
{
    LoopbackSshd sshd;
    ASSERT_TRUE(sshd.isRunning()) << sshd.error().toStdString();
    {
        QFile knownHosts(sshd.knownHostsFile());
        ASSERT_TRUE(knownHosts.open(QIODevice::WriteOnly));
        knownHosts.write(sshd.knownHostsLine());
    }
    RecordingAuditSink audit;
    SSHSessionConfiguration configuration;
    configuration.sshPath = sshd.sshWrapper();
    configuration.homeDirectory = sshd.homeDirectory();
    configuration.auditSink = &audit;
    auto profile = std::make_shared<ServerProfile>("Loopback", "", "127.0.0.1", sshd.port(),
                                                   LoopbackSshd::userName(), ServerEnvironment::production);
    profile->setPreferredIdentity(sshd.clientKey());
    auto screen = std::make_shared<TerminalScreen>();
    {
        SSHSession session(profile, configuration);
        session.setTerminalView(screen);
        session.connect();
        ASSERT_EQ(session.state(), SessionState::connected()) << session.state().displayText().toStdString();
        ASSERT_TRUE(waitUntil([&] {
            return !screen->text().empty() && screen->text().find_first_not_of(" \n") != std::string::npos;
        }));
        audit.entries.clear();

        QuickActionsView sheet(session, audit, QuickAction::builtInActions());
        sheet.show();
        const QuickAction &uptime = QuickAction::builtInActions().front();
        ASSERT_EQ(uptime.title, "Uptime");
        QTest::mouseClick(sheet.runButton(uptime.id), Qt::LeftButton);
        EXPECT_FALSE(sheet.isVisible());
        ASSERT_EQ(audit.entries.size(), 1u);
        EXPECT_EQ(audit.entries[0].action, "Uptime");

        EXPECT_TRUE(waitUntil([&] { return screen->text().find("load average") != std::string::npos; }))
            << screen->text();
        session.disconnect();
    }
    sshd.stop();
    EXPECT_TRUE(noChildrenLeft());
}

} // namespace
} // namespace corvane
