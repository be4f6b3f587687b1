// Links through a real view: the highlight under the pointer in each highlight mode, the preview of
// an OSC 8 link's target while Ctrl is held, and which clicks open a link through the host.

#include "TerminalViewTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::RecordingHost;
using testing::ViewFixture;

const Qt::KeyboardModifiers none = Qt::NoModifier;
const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;

class TerminalViewLinksTest : public ::testing::Test {
public:
    static QPointF cell(double col, double row) { return {col * 8 + 4, row * 15 + 7}; }

    void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers)
    {
        QMouseEvent event(type, at, f.view->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(f.view, &event);
    }
    // Motion without a button reaches the view only while it tracks the pointer.
    void hover(QPointF at)
    {
        QCursor::setPos(f.view->mapToGlobal(at.toPoint()));
        send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, none);
    }
    void click(QPointF at, Qt::KeyboardModifiers modifiers = none)
    {
        send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
        send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    // Row 0: a URL at columns 4..19; row 1: an OSC 8 link with parameters over columns 0..3.
    void showLinks()
    {
        f.view->feedHostOutput(
            std::string_view("see https://x.test/a ok\r\n"
                             "\x1b]8;id=1:foo=bar;https://y.test/<b>x</b>\x1b\\here\x1b]8;;\x1b\\"));
    }
    std::vector<LinkRowRange> urlRows() const { return {{0, 4, 20}}; }

    ViewFixture f;
};

TEST_F(TerminalViewLinksTest, CtrlHoverHighlightsAndReleasingCtrlClears)
{
    showLinks();
    hover(cell(6, 0));
    EXPECT_FALSE(f.view->linkHighlightRange());

    f.view->setCommandActive(true);
    EXPECT_EQ(f.view->linkHighlightRange(), urlRows());
    EXPECT_EQ(f.view->lastReportedLink(), "https://x.test/a");

    // Moving within the same link redraws nothing.
    f.advance(20);
    f.terminal().resetDirtyRows();
    hover(cell(12, 0));
    EXPECT_FALSE(f.terminal().dirtyRowRange());
    EXPECT_EQ(f.view->linkHighlightRange(), urlRows());

    // Onto the other link: both links' rows are redrawn.
    hover(cell(1, 1));
    EXPECT_EQ(f.view->linkHighlightRange(), (std::vector<LinkRowRange>{{1, 0, 4}}));
    EXPECT_EQ(f.terminal().dirtyRowRange(), (std::pair<int64_t, int64_t>{0, 1}));

    f.view->setCommandActive(false);
    EXPECT_FALSE(f.view->linkHighlightRange());
    EXPECT_FALSE(f.view->lastReportedLink());
    EXPECT_EQ(f.view->urlPreview(), nullptr);
}

TEST_F(TerminalViewLinksTest, PreviewShowsTheTargetAsPlainTextInSwappedColours)
{
    showLinks();
    f.view->setCommandActive(true);
    hover(cell(2, 1));
    QLabel *preview = f.view->urlPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->text(), "https://y.test/<b>x</b>");
    EXPECT_EQ(preview->textFormat(), Qt::PlainText);
    EXPECT_EQ(preview->palette().color(QPalette::Window), f.view->nativeForegroundColor());
    EXPECT_EQ(preview->palette().color(QPalette::WindowText), f.view->nativeBackgroundColor());
    EXPECT_EQ(preview->geometry().bottom(), f.view->height() - 1);

    // Over text without a target the preview goes.
    hover(cell(6, 0));
    EXPECT_EQ(f.view->urlPreview(), nullptr);
}

TEST_F(TerminalViewLinksTest, ClicksOpenLinksByTheHighlightMode)
{
    using Opened = std::vector<RecordingHost::OpenedLink>;
    const RecordingHost::OpenedLink url{"https://x.test/a", {}};
    const RecordingHost::OpenedLink osc{"https://y.test/<b>x</b>", {{"foo", "bar"}, {"id", "1"}}};
    struct Case {
        const char *name;
        LinkHighlightMode mode;
        QPointF at;
        Qt::KeyboardModifiers modifiers;
        Opened expected;
    };
    const Case cases[] = {
        {"hover with modifier: plain click", LinkHighlightMode::hoverWithModifier, cell(6, 0), none, {}},
        {"hover with modifier: Ctrl+click on a URL",
         LinkHighlightMode::hoverWithModifier,
         cell(6, 0),
         ctrl,
         {url}},
        {"hover with modifier: Ctrl+click on an OSC 8 link",
         LinkHighlightMode::hoverWithModifier,
         cell(3, 1),
         ctrl,
         {osc}},
        {"hover: plain click", LinkHighlightMode::hover, cell(6, 0), none, {url}},
        {"always: plain click on an OSC 8 link", LinkHighlightMode::always, cell(0, 1), none, {osc}},
        {"always: plain click on a URL", LinkHighlightMode::always, cell(6, 0), none, {}},
        {"always with modifier: Ctrl+click on a URL",
         LinkHighlightMode::alwaysWithModifier,
         cell(6, 0),
         ctrl,
         {}},
        {"always with modifier: Ctrl+click on an OSC 8 link",
         LinkHighlightMode::alwaysWithModifier,
         cell(1, 1),
         ctrl,
         {osc}},
        {"always with modifier: plain click on an OSC 8 link",
         LinkHighlightMode::alwaysWithModifier,
         cell(1, 1),
         none,
         {}},
        {"hover: click beside a link", LinkHighlightMode::hover, cell(22, 0), none, {}},
    };
    showLinks();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        f.host.openedLinks.clear();
        f.view->setLinkHighlightMode(c.mode);
        click(c.at, c.modifiers);
        EXPECT_EQ(f.host.openedLinks, c.expected);
        EXPECT_EQ(f.host.sentText(), "");
        // The next click is not the second of a double click.
        f.advance(1000);
    }
}

TEST_F(TerminalViewLinksTest, HoverModeTracksThePointerWithoutCtrl)
{
    showLinks();
    f.view->setLinkHighlightMode(LinkHighlightMode::hover);
    EXPECT_TRUE(f.view->hasMouseTracking());
    hover(cell(6, 0));
    EXPECT_EQ(f.view->linkHighlightRange(), urlRows());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(f.view, &leave);
    EXPECT_FALSE(f.view->linkHighlightRange());

    f.view->setLinkHighlightMode(LinkHighlightMode::hoverWithModifier);
    EXPECT_FALSE(f.view->hasMouseTracking());
    f.view->setCommandActive(true);
    EXPECT_TRUE(f.view->hasMouseTracking());
    f.view->setCommandActive(false);
    EXPECT_FALSE(f.view->hasMouseTracking());
}

// A host that reports the mouse saw the press of a link click: it must see the release as well,
// or it would hold the button down forever.
TEST_F(TerminalViewLinksTest, LinkClickWhileTheHostReportsTheMouseReportsTheReleaseThenOpens)
{
    showLinks();
    f.view->feedHostOutput(std::string_view("\x1b[?1000h\x1b[?1006h"));
    click(cell(6, 0), ctrl);
    EXPECT_EQ(f.host.sentText(), "\x1b[<16;7;1M\x1b[<16;7;1m");
    EXPECT_EQ(f.host.openedLinks, (std::vector<RecordingHost::OpenedLink>{{"https://x.test/a", {}}}));
}

} // namespace
} // namespace kestrix
