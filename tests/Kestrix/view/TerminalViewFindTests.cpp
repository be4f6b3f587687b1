// The find bar and the find commands through a real view: typing searches, the match becomes the
// selection and the viewport moves to it.

#include "Kestrix/core/SearchService.h"
#include "Kestrix/core/SelectionService.h"
#include "Kestrix/view/FindPasteboard.h"
#include "Kestrix/view/TerminalFindBarView.h"
#include "TerminalViewTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>
#include <string>

namespace kestrix {
namespace {

using testing::ViewFixture;

// What the view's selection shows.
struct Shown {
    bool active;
    Position start;
    Position end;

    bool operator==(const Shown &) const = default;
};

class TerminalViewFindTest : public ::testing::Test {
protected:
    TerminalViewFindTest()
    {
        // The find string is shared by the whole process: every test starts without one.
        FindPasteboard::setString("");
        f.window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f.window));
        f.view->setFocus();
    }

    void feed(std::string_view text) { f.view->feedHostOutput(text); }
    void feedLines(int count, std::string_view line)
    {
        for (int i = 0; i < count; ++i) {
            feed(line);
            feed("\r\n");
        }
    }
    Shown shown() const
    {
        const SelectionService &selection = *f.view->selection();
        return {selection.active(), selection.start(), selection.end()};
    }
    int64_t viewportTop() { return f.terminal().buffer->yDisp(); }
    TerminalFindBarView *bar() const { return f.view->findBar(); }
    QLineEdit *field() const { return bar()->searchField(); }

    ViewFixture f;
};

} // namespace

TEST_F(TerminalViewFindTest, ControlShiftFOpensTheBarAndTypingSelectsTheMatchAndScrollsToIt)
{
    feed("a needle here\r\n");
    feedLines(60, "hay");
    const int64_t bottom = viewportTop();
    ASSERT_GT(bottom, 0);

    QTest::keyClick(f.view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(bar(), nullptr);
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_TRUE(field()->hasFocus());
    EXPECT_EQ(bar()->geometry().top(), 8);
    EXPECT_EQ(bar()->geometry().right(), f.view->width() - 8 - 1);

    QTest::keyClicks(field(), "needle");
    EXPECT_EQ(shown(), (Shown{true, {2, 0}, {8, 0}}));
    EXPECT_EQ(viewportTop(), 0);
    EXPECT_EQ(f.view->findBarTerm(), "needle");
    EXPECT_EQ(FindPasteboard::string(), "needle");

    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_TRUE(f.view->hasFocus());
    EXPECT_EQ(shown(), (Shown{true, {2, 0}, {8, 0}})) << "the match stays selected";
    EXPECT_TRUE(f.host.sent.empty()) << "no key of the find bar reaches the host";
}

TEST_F(TerminalViewFindTest, ReturnFindsTheNextMatchAndShiftReturnThePrevious)
{
    feed("foo a\r\nfoo b\r\nfoo c");
    f.view->showFindBar(false);
    QTest::keyClicks(field(), "foo");
    EXPECT_EQ(shown().start, (Position{0, 0}));
    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(shown().start, (Position{0, 1}));
    QTest::keyClick(field(), Qt::Key_Enter);
    EXPECT_EQ(shown().start, (Position{0, 2}));
    QTest::keyClick(field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(shown().start, (Position{0, 1}));
    // The buttons do the same.
    bar()->previousButton()->click();
    EXPECT_EQ(shown().start, (Position{0, 0}));
    bar()->nextButton()->click();
    EXPECT_EQ(shown().start, (Position{0, 1}));
    // Keys the field leaves unused stop at the bar.
    QTest::keyClick(field(), Qt::Key_Up);
    QTest::keyClick(field(), Qt::Key_PageUp);
    EXPECT_TRUE(f.host.sent.empty());
    bar()->closeButton()->click();
    EXPECT_TRUE(bar()->isHidden());
    EXPECT_TRUE(f.view->hasFocus());
}

TEST_F(TerminalViewFindTest, ClearingTheFieldOrFindingNothingClearsTheSelection)
{
    feed("foo bar");
    f.view->showFindBar(false);
    QTest::keyClicks(field(), "bar");
    ASSERT_TRUE(shown().active);
    field()->clear();
    EXPECT_FALSE(shown().active);
    EXPECT_FALSE(f.view->search()->state.cachedSearchTerm);

    QTest::keyClicks(field(), "foo");
    ASSERT_TRUE(shown().active);
    QTest::keyClicks(field(), "x");
    EXPECT_FALSE(shown().active);
}

TEST_F(TerminalViewFindTest, OptionsChangeTheSearchAtOnce)
{
    feed("Cat concat cat");
    f.view->showFindBar(false);
    QTest::keyClicks(field(), "cat");
    EXPECT_EQ(shown().start, (Position{0, 0}));
    bar()->caseSensitiveButton()->setChecked(true);
    EXPECT_EQ(f.view->findBarOptions(), (SearchOptions{true, false, false}));
    EXPECT_EQ(shown().start, (Position{7, 0}));
    bar()->wholeWordButton()->setChecked(true);
    EXPECT_EQ(shown().start, (Position{11, 0}));
}

TEST_F(TerminalViewFindTest, FindCommandsByTag)
{
    feed("one two\r\ntwo");
    // Find next with the bar never shown: the find string and no options.
    FindPasteboard::setString("TWO");
    f.view->performFindPanelAction(2);
    EXPECT_EQ(shown(), (Shown{true, {4, 0}, {7, 0}}));
    f.view->performTextFinderAction(2);
    EXPECT_EQ(shown().start, (Position{0, 1}));
    f.view->performTextFinderAction(3);
    EXPECT_EQ(shown().start, (Position{4, 0}));
    EXPECT_EQ(bar(), nullptr);

    // Use the selection for find: "one" becomes the find string and the bar shows it.
    f.view->selection()->setSelection({0, 0}, {3, 0});
    f.view->performTextFinderAction(7);
    EXPECT_EQ(FindPasteboard::string(), "one");
    ASSERT_NE(bar(), nullptr);
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(field()->text(), "one");
    EXPECT_EQ(shown(), (Shown{true, {0, 0}, {3, 0}}));

    f.view->performTextFinderAction(11);
    EXPECT_TRUE(bar()->isHidden());
    EXPECT_TRUE(f.view->hasFocus());
    f.view->performFindPanelAction(11);
    f.view->performFindPanelAction(std::nullopt);
    EXPECT_TRUE(bar()->isHidden());

    // Find seeds the bar from the selection.
    f.view->selection()->setSelection({4, 0}, {7, 0});
    f.view->performFindPanelAction(1);
    EXPECT_EQ(field()->text(), "two");
    EXPECT_EQ(shown().start, (Position{4, 0}));
    EXPECT_TRUE(field()->hasFocus());
}

TEST_F(TerminalViewFindTest, ViewportStaysForAMatchOnScreenAndOnTheAlternateScreen)
{
    feed("top\r\n");
    feedLines(60, "hay");
    feed("visible");
    const int64_t bottom = viewportTop();
    EXPECT_TRUE(f.view->findNext("visible", {}, true));
    EXPECT_EQ(viewportTop(), bottom);

    feed("\x1b[?1049h\x1b[Halt text");
    EXPECT_TRUE(f.view->findNext("text", {}, true));
    EXPECT_EQ(shown(), (Shown{true, {4, 0}, {8, 0}}));
    EXPECT_EQ(viewportTop(), 0);
}

TEST_F(TerminalViewFindTest, MatchEndingTheLastLineIsSelectedForward)
{
    // 80 columns: the match fills the last row to its last column.
    const int64_t lastRow = f.terminal().buffer->lines().count() - 1;
    feed("\x1b[" + std::to_string(lastRow + 1) + ";75Hending");
    ASSERT_TRUE(f.view->findNext("ending", {}, false));
    EXPECT_EQ(shown(), (Shown{true, {74, lastRow}, {79, lastRow}}));
}

TEST_F(TerminalViewFindTest, HostOutputAndResizeDropTheSearchPosition)
{
    feed("foo foo");
    ASSERT_TRUE(f.view->findNext("foo", {}, false));
    ASSERT_TRUE(f.view->search()->lastSelection);
    feed("!");
    EXPECT_FALSE(f.view->search()->lastSelection);
    EXPECT_EQ(f.view->search()->state.cachedSearchTerm, "foo");

    ASSERT_TRUE(f.view->findNext("foo", {}, false));
    f.view->resize(ViewFixture::gridFrame(60, 20).size());
    EXPECT_FALSE(f.view->search()->lastSelection);
}

TEST_F(TerminalViewFindTest, SearchMatchPositionCountsTheMatches)
{
    feed("ab ab ab");
    EXPECT_EQ(f.view->searchMatchPosition("ab", {}, 10), (std::pair<int64_t, int64_t>(0, 3)));
    ASSERT_TRUE(f.view->findNext("ab", {}, false));
    ASSERT_TRUE(f.view->findNext("ab", {}, false));
    EXPECT_EQ(f.view->searchMatchPosition("ab", {}, 10), (std::pair<int64_t, int64_t>(2, 3)));
    EXPECT_EQ(f.view->searchMatchPosition("ab", {}, 1), (std::pair<int64_t, int64_t>(0, 1)));
}

} // namespace kestrix
