// The selection through a real view: the Edit shortcuts, what ends a selection, the range the
// input method sees and the cells drawn as selected.

#include "TerminalViewTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using testing::ViewFixture;

const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;

class TerminalViewSelectionTest : public ::testing::Test {
protected:
    std::string clipboardText() const { return QGuiApplication::clipboard()->text().toStdString(); }

    ViewFixture f;
};

TEST_F(TerminalViewSelectionTest, SelectAllThenCopyPutsTheScreenTextOnTheClipboard)
{
    f.view->feedHostOutput(std::string_view("hello\r\n  \x1b[1mworld\x1b[m\r\n\xE6\xBC\xA2x"));
    QGuiApplication::clipboard()->setText("before");
    QTest::keyClick(f.view, Qt::Key_A, ctrlShift);
    EXPECT_TRUE(f.view->selectionActive());
    QTest::keyClick(f.view, Qt::Key_C, ctrlShift);
    EXPECT_EQ(clipboardText(), "hello\n  world\n\xE6\xBC\xA2x");
    EXPECT_EQ(f.view->getSelection(), "hello\n  world\n\xE6\xBC\xA2x");
    EXPECT_EQ(f.host.sentText(), "");
}

TEST_F(TerminalViewSelectionTest, CopyIsDisabledWithoutASelection)
{
    f.view->feedHostOutput(std::string_view("hello"));
    QGuiApplication::clipboard()->setText("kept");
    EXPECT_FALSE(f.view->validateUserInterfaceItem("copy:", 0));
    QTest::keyClick(f.view, Qt::Key_C, ctrlShift);
    EXPECT_EQ(clipboardText(), "kept");
    EXPECT_EQ(f.view->getSelection(), std::nullopt);

    // A selection that was ended by typing is not copied either.
    f.view->selectAll();
    QTest::keyClick(f.view, Qt::Key_X);
    QTest::keyClick(f.view, Qt::Key_C, ctrlShift);
    EXPECT_EQ(clipboardText(), "kept");
}

TEST_F(TerminalViewSelectionTest, HostOutputAndLineFeedsEndTheSelectionOnlyWhileMouseReportingIsAllowed)
{
    f.view->feedHostOutput(std::string_view("abc"));
    f.view->selection()->setSelection({0, 0}, {2, 0});
    f.view->setAllowMouseReporting(false);
    f.view->feedHostOutput(std::string_view("d\r\n"));
    EXPECT_TRUE(f.view->selectionActive());
    EXPECT_EQ(f.view->getSelection(), "ab");

    f.view->setAllowMouseReporting(true);
    f.view->feedHostOutput(std::string_view("e"));
    EXPECT_FALSE(f.view->selectionActive());

    // A line feed within the output also forgets the ends.
    f.view->selection()->setSelection({0, 0}, {2, 0});
    f.view->getTerminal().feedString("\n");
    EXPECT_FALSE(f.view->selectionActive());
    EXPECT_EQ(f.view->selection()->end(), (Position{0, 0}));
}

TEST_F(TerminalViewSelectionTest, ResizingEndsTheSelection)
{
    f.view->selectAll();
    f.view->resize(ViewFixture::gridFrame(60, 20).size());
    EXPECT_FALSE(f.view->selectionActive());
}

TEST_F(TerminalViewSelectionTest, SelectedRangeCountsCellsRowByRow)
{
    f.view->feedHostOutput(std::string_view("\r\n\r\n\x1b[6G"));
    EXPECT_EQ(f.view->selectedRange(), (std::pair<int64_t, int64_t>{165, 0}));
    f.view->selection()->setSelection({2, 1}, {5, 0});
    EXPECT_EQ(f.view->selectedRange(), (std::pair<int64_t, int64_t>{5, 77}));
    f.view->selection()->setActive(false);
    EXPECT_EQ(f.view->selectedRange(), (std::pair<int64_t, int64_t>{165, 0}));
}

TEST_F(TerminalViewSelectionTest, TheSelectionIsDrawnWhereItIs)
{
    f.view->feedHostOutput(std::string_view("abcdef\r\nghijkl"));
    f.view->selection()->setSelection({4, 0}, {2, 1});
    EXPECT_EQ(f.view->selectedColumns(0, 80), (std::pair<int64_t, int64_t>{4, 80}));
    EXPECT_EQ(f.view->selectedColumns(1, 80), (std::pair<int64_t, int64_t>{0, 2}));
    EXPECT_EQ(f.view->selectedColumns(2, 80), std::nullopt);
    f.view->dirtyRects.clear();
    f.view->selectNone();
    EXPECT_FALSE(f.view->dirtyRects.empty());
    EXPECT_EQ(f.view->selectedColumns(0, 80), std::nullopt);
}

} // namespace
} // namespace kestrix
