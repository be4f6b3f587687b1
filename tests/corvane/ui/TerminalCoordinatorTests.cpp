#include "SessionScreenSupport.h"
#include "corvane/ui/TerminalCoordinator.h"
#include "corvane/ui/TerminalViewRepresentable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

namespace corvane {
namespace {

using namespace corvane::testing;

class TerminalCoordinatorTest : public SessionScreenTest {
protected:
    struct Links {
        QStringList opened;
        QStringList asked;
        bool agree = false;
    };

    void watchLinks(TerminalCoordinator &coordinator, Links &links)
    {
        coordinator.setOpenURL([&links](const QUrl &url) { links.opened.append(url.toString()); });
        coordinator.setConfirmLink([&links](const QUrl &url) {
            links.asked.append(url.toString());
            return links.agree;
        });
    }
};

TEST_F(TerminalCoordinatorTest, LinksOfHarmlessSchemesOpenAndOthersAskFirstShowingTheWholeTarget)
{
    auto session = sessions->openSession(makeProfile());
    TerminalViewRepresentable &bridge = TerminalViewRepresentable::forSession(*session);
    Links links;
    watchLinks(bridge.coordinator(), links);
    const std::vector<std::string> harmless = {"https://example.com/a?b=c", "http://example.com",
                                               "mailto:a@example.com", "HTTPS://EXAMPLE.COM"};
    for (const std::string &link : harmless) {
        bridge.coordinator().openLink(bridge.view(), link, {});
    }
    bridge.coordinator().openLink(bridge.view(), "file:///etc/passwd", {});
    bridge.coordinator().openLink(bridge.view(), "not a url at all", {});
    bridge.coordinator().openLink(bridge.view(), "", {});
    spinFor(50);
    EXPECT_EQ(links.opened.size(), 4);
    EXPECT_EQ(links.asked, QStringList{"file:///etc/passwd"});

    links.agree = true;
    bridge.coordinator().openLink(bridge.view(), "ssh://evil.example/x", {});
    spinFor(50);
    EXPECT_EQ(links.asked.last(), "ssh://evil.example/x");
    EXPECT_EQ(links.opened.last(), "ssh://evil.example/x");
}

TEST_F(TerminalCoordinatorTest, CtrlClickOnALinkInASessionOpensItOrAsksByItsScheme)
{
    auto session = sessions->openSession(makeProfile());
    TerminalViewRepresentable &bridge = TerminalViewRepresentable::forSession(*session);
    Links links;
    watchLinks(bridge.coordinator(), links);
    kestrix::TerminalView &view = bridge.view();
    view.feedHostOutput(std::string_view("\x1b[H\x1b[2Jopen https://example.com/a now\r\n"
                                         "\x1b]8;;ssh://evil.example/x\x1b\\here\x1b]8;;\x1b\\"));
    const QSizeF cell = *view.cellDimension();
    const auto ctrlClick = [&](int col, int row) {
        const QPointF at((col + 0.5) * cell.width(), (row + 0.5) * cell.height());
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::ControlModifier);
            QApplication::sendEvent(&view, &event);
        }
    };
    ctrlClick(8, 0);
    spinFor(50);
    EXPECT_EQ(links.opened, QStringList{"https://example.com/a"});
    EXPECT_TRUE(links.asked.isEmpty());

    // Another scheme asks first, showing the whole target; refused, it does not open.
    spinFor(600);
    ctrlClick(1, 1);
    spinFor(50);
    EXPECT_EQ(links.asked, QStringList{"ssh://evil.example/x"});
    EXPECT_EQ(links.opened, QStringList{"https://example.com/a"});
}

TEST_F(TerminalCoordinatorTest, TitlesReachTheSessionAndTheLastOneStays)
{
    auto session = sessions->openSession(makeProfile());
    kestrix::TerminalView &view = TerminalViewRepresentable::forSession(*session).view();
    view.feedHostOutput(std::string_view("\x1b]2;first\x07\x1b]2;second\x07"));
    EXPECT_TRUE(waitUntil([&] { return session->title() == "second"; }));
}

TEST_F(TerminalCoordinatorTest, KeysReachAConnectedSessionInOrderAndAreDroppedOtherwise)
{
    setMode("readline");
    auto session = sessions->openSession(makeProfile());
    kestrix::TerminalView &view = TerminalViewRepresentable::forSession(*session).view();
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }));
    session->disconnect();
    view.send(std::string_view("lost\r"));
    spinFor(20);
    session->connect();
    ASSERT_EQ(session->state(), SessionState::connected());
    for (const char *key : {"e", "c", "h", "o", "\r"}) {
        view.send(std::string_view(key));
    }
    ASSERT_TRUE(waitForRecord("line"));
    EXPECT_EQ(recorded("line"), "echo");
    session->disconnect();
}

TEST_F(TerminalCoordinatorTest, ASessionTerminalRefusesKittyImagesFromLocalFiles)
{
    QTemporaryDir directory(QDir::tempPath() + "/tty-graphics-protocol-XXXXXX");
    const QString file = directory.filePath("pixel");
    {
        QFile pixel(file);
        ASSERT_TRUE(pixel.open(QIODevice::WriteOnly));
        pixel.write(QByteArray("\x01\x02\x03\x04", 4));
    }
    setMode("readline");
    auto session = sessions->openSession(makeProfile());
    kestrix::TerminalView &view = TerminalViewRepresentable::forSession(*session).view();
    ASSERT_TRUE(waitUntil([&] { return session->state() == SessionState::connected(); }));
    // What a remote host would send to have the terminal read, then delete, a file of this machine.
    const QByteArray path = file.toUtf8().toBase64();
    view.feedHostOutput(
        std::string_view(QByteArray("\x1b_Ga=T,i=5,s=1,v=1,t=t;" + path + "\x1b\\").toStdString()));
    view.send(std::string_view("\r"));
    ASSERT_TRUE(waitForRecord("line"));
    EXPECT_EQ(recorded("line"), "\x1b_Gi=5;EPERM: transmission medium not allowed\x1b\\");
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_TRUE(view.getTerminal().kittyGraphicsState.imagesById.empty());
    session->disconnect();
}

TEST_F(TerminalCoordinatorTest, ClipboardReadsGetNothingAndCallsAfterTheSessionWentDoNothing)
{
    auto session = std::make_shared<SSHSession>(makeProfile(), configuration);
    TerminalCoordinator coordinator(*session);
    kestrix::TerminalView view;
    EXPECT_FALSE(coordinator.readClipboard(view).has_value());
    coordinator.titleChanged(view, "late");
    coordinator.terminalSizeChanged(view, 100, 40);
    coordinator.sendToHost(view, std::span<const uint8_t>(reinterpret_cast<const uint8_t *>("x"), 1));
    session.reset();
    spinFor(20);
    EXPECT_EQ(coordinator.session(), nullptr);
}

} // namespace
} // namespace corvane
