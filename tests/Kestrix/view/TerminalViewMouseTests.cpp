// The pointer and the wheel through a real view: reports in the host's mouse modes, local
// selection by clicks and drags, auto-scroll while dragging past the edges, and wheel scrolling.

#include "Kestrix/view/PrimarySelection.h"
#include "TerminalViewTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

const Qt::KeyboardModifiers none = Qt::NoModifier;
const Qt::KeyboardModifiers shift = Qt::ShiftModifier;

class TerminalViewMouseTest : public ::testing::Test {
public:
    // The middle of a cell of the 8 x 15 grid; rows may lie outside the view.
    static QPointF cell(double col, double row) { return {col * 8 + 4, row * 15 + 7}; }

    void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers = none)
    {
        QMouseEvent event(type, at, f.view->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(f.view, &event);
    }
    void press(QPointF at, Qt::KeyboardModifiers modifiers = none)
    {
        send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    }
    void release(QPointF at, Qt::KeyboardModifiers modifiers = none)
    {
        send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void click(QPointF at, Qt::KeyboardModifiers modifiers = none)
    {
        press(at, modifiers);
        release(at, modifiers);
    }
    void clickButton(Qt::MouseButton button, QPointF at, Qt::KeyboardModifiers modifiers = none)
    {
        send(QEvent::MouseButtonPress, at, button, button, modifiers);
        send(QEvent::MouseButtonRelease, at, button, Qt::NoButton, modifiers);
    }
    void drag(QPointF to) { send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton); }
    void wheel(QPoint pixelDelta, QPoint angleDelta = {})
    {
        const QPointF at = cell(3, 2);
        QWheelEvent event(at, f.view->mapToGlobal(at), pixelDelta, angleDelta, Qt::NoButton, none,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.view, &event);
    }
    std::string takeSent()
    {
        std::string text = f.host.sentText();
        f.host.sent.clear();
        return text;
    }
    int64_t yDisp() { return f.terminal().buffer->yDisp(); }
    void fillScrollback(int lines)
    {
        for (int i = 0; i < lines; ++i)
            f.view->feedHostOutput(std::string_view("line\r\n"));
    }

    ViewFixture f;
};

TEST_F(TerminalViewMouseTest, ReportsFollowTheHostsMouseMode)
{
    struct Case {
        const char *name;
        const char *modes;
        void (*gesture)(TerminalViewMouseTest &);
        std::string expected;
    };
    const Case cases[] = {
        {"vt200 press and release", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.click(cell(2, 3)); }, "\x1b[<0;3;4M\x1b[<0;3;4m"},
        {"vt200 with Shift selects instead", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.click(cell(2, 3), shift); }, ""},
        {"Shift is reported when the host captures it", "\x1b[?1000h\x1b[?1006h\x1b[>1s",
         [](TerminalViewMouseTest &t) { t.click(cell(2, 3), shift); }, "\x1b[<4;3;4M\x1b[<4;3;4m"},
        {"x10 reports only the release", "\x1b[?9h", [](TerminalViewMouseTest &t) { t.click(cell(2, 3)); },
         "\x1b[M#\x23$"},
        {"vt200 does not report drags", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.drag(cell(5, 1)); }, ""},
        {"button tracking reports drags", "\x1b[?1002h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.drag(cell(5, 1)); }, "\x1b[<32;6;2M"},
        {"any-event mode reports motion without a button", "\x1b[?1003h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.send(QEvent::MouseMove, cell(1, 0), Qt::NoButton, Qt::NoButton); },
         "\x1b[<35;2;1M"},
        {"wheel reports buttons 64 and 65", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) {
             t.wheel({}, {0, 120});
             t.wheel({}, {0, -240});
         },
         "\x1b[<64;4;3M\x1b[<65;4;3M\x1b[<65;4;3M"},
        {"mode off reports nothing", "", [](TerminalViewMouseTest &t) { t.click(cell(2, 3)); }, ""},
        {"SGR releases name the middle button", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.clickButton(Qt::MiddleButton, cell(2, 3)); },
         "\x1b[<1;3;4M\x1b[<1;3;4m"},
        {"SGR releases name the right button with its modifiers", "\x1b[?1000h\x1b[?1006h",
         [](TerminalViewMouseTest &t) { t.clickButton(Qt::RightButton, cell(2, 3), Qt::AltModifier); },
         "\x1b[<10;3;4M\x1b[<10;3;4m"},
        {"urxvt releases stay code 3", "\x1b[?1000h\x1b[?1015h",
         [](TerminalViewMouseTest &t) { t.clickButton(Qt::MiddleButton, cell(2, 3)); },
         "\x1b[33;3;4M\x1b[35;3;4M"},
    };
    for (const Case &c : cases) {
        f.view->feedHostOutput(
            std::string_view("\x1b[!p\x1b[?1000l\x1b[?1002l\x1b[?1003l\x1b[?9l\x1b[?1006l\x1b[?1015l"));
        f.view->feedHostOutput(std::string_view(c.modes));
        takeSent();
        c.gesture(*this);
        EXPECT_EQ(takeSent(), c.expected) << c.name;
        f.advance(1000);
    }
}

TEST_F(TerminalViewMouseTest, DisallowedReportingLeavesThePointerToSelection)
{
    f.view->feedHostOutput(std::string_view("foo bar\x1b[?1003h\x1b[?1006h"));
    f.view->setAllowMouseReporting(false);
    takeSent();
    send(QEvent::MouseMove, cell(1, 0), Qt::NoButton, Qt::NoButton);
    press(cell(1, 0));
    drag(cell(2, 0));
    drag(cell(3, 0));
    release(cell(3, 0));
    EXPECT_EQ(takeSent(), "");
    EXPECT_EQ(f.view->getSelection(), "oo");
}

TEST_F(TerminalViewMouseTest, ClicksSelectWordsRowsAndShiftExtends)
{
    f.view->feedHostOutput(std::string_view("foo bar baz\r\nnext"));
    click(cell(5, 0));
    EXPECT_FALSE(f.view->selectionActive());
    f.advance(50);
    click(cell(5, 0));
    EXPECT_EQ(f.view->getSelection(), "bar");
    f.advance(50);
    click(cell(5, 0));
    EXPECT_EQ(f.view->getSelection(), "foo bar baz");

    // Later, a Shift-click extends; a plain click ends the selection.
    f.advance(2000);
    click(cell(5, 0));
    f.advance(50);
    click(cell(5, 0));
    f.advance(2000);
    click(cell(2, 1), shift);
    EXPECT_EQ(f.view->getSelection(), "bar baz\nnext");
    f.advance(2000);
    click(cell(2, 1));
    EXPECT_FALSE(f.view->selectionActive());
}

TEST_F(TerminalViewMouseTest, DraggingSelectsCharacters)
{
    f.view->feedHostOutput(std::string_view("abcdef\r\nghijkl"));
    press(cell(1, 0));
    drag(cell(3, 0));
    drag(cell(2, 1));
    release(cell(2, 1));
    EXPECT_EQ(f.view->selection()->start(), (Position{1, 0}));
    EXPECT_EQ(f.view->getSelection(), "bcdef\ngh");
}

TEST_F(TerminalViewMouseTest, MadeSelectionsBecomeThePrimarySelectionAndLeaveTheClipboard)
{
    QGuiApplication::clipboard()->setText("clipboard");
    PrimarySelection::setString("");
    f.view->feedHostOutput(std::string_view("foo bar baz\r\nnext"));
    press(cell(1, 0));
    drag(cell(2, 0));
    drag(cell(3, 0));
    EXPECT_EQ(PrimarySelection::string(), ""); // offered once the button is let go
    release(cell(3, 0));
    EXPECT_EQ(PrimarySelection::string(), "oo");

    f.advance(2000);
    click(cell(5, 0));
    f.advance(50);
    click(cell(5, 0));
    EXPECT_EQ(PrimarySelection::string(), "bar");
    f.advance(50);
    click(cell(5, 0));
    EXPECT_EQ(PrimarySelection::string(), "foo bar baz");
    f.advance(2000);
    click(cell(2, 1), shift);
    EXPECT_EQ(PrimarySelection::string(), "foo bar baz\nne");
    // Ending the selection with a plain click keeps what was offered.
    f.advance(2000);
    click(cell(2, 1));
    EXPECT_FALSE(f.view->selectionActive());
    EXPECT_EQ(PrimarySelection::string(), "foo bar baz\nne");

    f.view->selectAll();
    EXPECT_EQ(PrimarySelection::string(), "foo bar baz\nnext");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "clipboard");
    EXPECT_EQ(takeSent(), "");
}

TEST_F(TerminalViewMouseTest, MiddleClickPastesThePrimarySelectionLikeTheClipboardPaste)
{
    struct Case {
        const char *name;
        const char *modes;
        std::string selection;
        Qt::KeyboardModifiers modifiers;
        std::string expected;
    };
    const std::string hostile = "ls\x1b[201~; rm -rf ~\n";
    const Case cases[] = {
        {"plain", "", "echo hi\n", none, "echo hi\n"},
        {"bracketed, markers taken out", "\x1b[?2004h", hostile, none, "\x1b[200~ls; rm -rf ~\n\x1b[201~"},
        {"nothing selected sends nothing", "\x1b[?2004h", "", none, ""},
        {"a program that reads the mouse gets the button", "\x1b[?1000h\x1b[?1006h", "text", none,
         "\x1b[<1;3;4M"},
        {"Shift takes the button back from the program", "\x1b[?1000h\x1b[?1006h", "text", shift, "text"},
    };
    for (const Case &c : cases) {
        f.view->feedHostOutput(std::string_view("\x1b[!p\x1b[?1000l\x1b[?1006l\x1b[?2004l"));
        f.view->feedHostOutput(std::string_view(c.modes));
        PrimarySelection::setString(c.selection);
        takeSent();
        send(QEvent::MouseButtonPress, cell(2, 3), Qt::MiddleButton, Qt::MiddleButton, c.modifiers);
        EXPECT_EQ(takeSent(), c.expected) << c.name;
        send(QEvent::MouseButtonRelease, cell(2, 3), Qt::MiddleButton, Qt::NoButton, c.modifiers);
        f.advance(1000);
    }
}

TEST_F(TerminalViewMouseTest, DraggingPastTheEdgesScrollsByDistance)
{
    fillScrollback(100);
    f.view->scrollTo(0);
    press(cell(1, 5));
    // Twelve rows below the last row: the row count (25, at least 20) per tick.
    drag(cell(1, 25 + 11));
    f.advance(50);
    EXPECT_EQ(yDisp(), 25);
    // Three rows above the top row: 3 lines up per tick; resting on the top row: 1.
    drag(cell(1, -3));
    f.advance(50);
    EXPECT_EQ(yDisp(), 22);
    drag(cell(1, 0));
    f.advance(50);
    EXPECT_EQ(yDisp(), 21);
    // The selection follows the text under the resting pointer.
    EXPECT_EQ(f.view->selection()->end().row, 21);
    drag(cell(1, 10));
    f.advance(200);
    EXPECT_EQ(yDisp(), 21);
    drag(cell(1, -1));
    release(cell(1, -1));
    f.advance(200);
    EXPECT_EQ(yDisp(), 21);
}

TEST_F(TerminalViewMouseTest, DraggingBelowTheNewestLinesDoesNotScroll)
{
    fillScrollback(100);
    const int64_t bottom = yDisp();
    press(cell(1, 5));
    drag(cell(1, 40));
    f.advance(200);
    EXPECT_EQ(yDisp(), bottom);
}

TEST_F(TerminalViewMouseTest, WheelScrollsTheViewportOrSendsCursorKeys)
{
    fillScrollback(100);
    const int64_t bottom = yDisp();
    // Precise deltas of 0.4 cell heights: the third one completes a line.
    wheel({0, 6});
    wheel({0, 6});
    EXPECT_EQ(yDisp(), bottom);
    wheel({0, 6});
    EXPECT_EQ(yDisp(), bottom - 1);
    wheel({}, {0, -120});
    EXPECT_EQ(yDisp(), bottom);

    f.view->feedHostOutput(std::string_view("\x1b[?1049h"));
    takeSent();
    wheel({}, {0, 120});
    EXPECT_EQ(takeSent(), "\x1b[A\x1b[A\x1b[A");
    f.view->feedHostOutput(std::string_view("\x1b[?1h"));
    wheel({}, {0, -120});
    EXPECT_EQ(takeSent(), "\x1bOB\x1bOB\x1bOB");
}

TEST_F(TerminalViewMouseTest, AWheelNotchScrollsTheDesktopsWheelScrollLinesAndReportsOnce)
{
    const int desktopLines = QApplication::wheelScrollLines();
    fillScrollback(100);
    const int64_t bottom = yDisp();
    struct Case {
        int wheelScrollLines;
        QPoint angleDelta;
        int64_t linesUp;
    };
    const Case cases[] = {
        {3, {0, 120}, 3},
        {3, {0, 240}, 6},
        {5, {0, 120}, 5},
        {1, {0, 120}, 1},
        // A fine-grained wheel's part of a notch still moves a line.
        {3, {0, 15}, 1},
    };
    for (const Case &c : cases) {
        QApplication::setWheelScrollLines(c.wheelScrollLines);
        wheel({}, c.angleDelta);
        EXPECT_EQ(yDisp(), bottom - c.linesUp) << c.wheelScrollLines << " lines, " << c.angleDelta.y();
        f.view->scrollTo(bottom);
    }

    QApplication::setWheelScrollLines(5);
    f.view->feedHostOutput(std::string_view("\x1b[?1000h\x1b[?1006h"));
    takeSent();
    wheel({}, {0, 120});
    EXPECT_EQ(takeSent(), "\x1b[<64;4;3M");
    EXPECT_EQ(yDisp(), bottom);
    QApplication::setWheelScrollLines(desktopLines);
}

} // namespace
} // namespace kestrix
