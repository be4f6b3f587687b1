// Recorded output of real full-screen programs, replayed into a terminal of the size they were
// recorded at. The recordings were made with tests/tools/record-pty.py; the keystrokes of each are
// in its test.

#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Screen = std::vector<std::string>;

std::string readTranscript(const std::string &name)
{
    std::ifstream file(std::string(CALVERO_TEST_DATA_DIR) + "/transcripts/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The screen as a person sees it after feeding the transcript in pieces of `chunk` bytes (sequences
// cut anywhere must give the same screen): blanks the program wrote at the end of a row are trimmed
// like empty cells.
Screen replay(Terminal &terminal, const std::string &transcript, size_t chunk)
{
    for (size_t at = 0; at < transcript.size(); at += chunk) {
        terminal.feedString(std::string_view(transcript).substr(at, chunk));
    }
    Screen screen = screenText(terminal);
    for (std::string &row : screen) {
        row.erase(row.find_last_not_of(' ') + 1);
    }
    return screen;
}

} // namespace

// vim -u NONE -N -i NONE -n on thirty lines "line NN of the notes", typed: 5Gdd (delete line 5),
// Oinserted<Esc> (open a line above), then Ctrl-E three times (scroll the window down three
// lines). Vim deletes and scrolls with scroll regions, opens the line with IL, and clears with ED
// and EL.
TEST(TerminalTranscript, VimDeletingInsertingAndScrollingDrawsTheEditedFile)
{
    const std::string transcript = readTranscript("vim-delete-insert-scroll-40x10.raw");
    ASSERT_FALSE(transcript.empty());
    const Screen expected = {
        "line 04 of the notes", "inserted",
        "line 06 of the notes", "line 07 of the notes",
        "line 08 of the notes", "line 09 of the notes",
        "line 10 of the notes", "line 11 of the notes",
        "line 12 of the notes", "",
    };
    for (size_t chunk : {transcript.size(), size_t{7}, size_t{1}}) {
        Terminal terminal(nullptr, optionsOfSize(40, 10));
        EXPECT_EQ(replay(terminal, transcript, chunk), expected) << "chunk " << chunk;
        EXPECT_EQ(terminal.cursorPosition(), (std::pair<int64_t, int64_t>{7, 1}));
        EXPECT_EQ(terminal.buffer->scrollTop(), 0);
        EXPECT_EQ(terminal.buffer->scrollBottom(), 9);
    }
}

// vim -u NONE -N -i NONE -n on a small C file, typed: ":syntax on", ":set number", 6Gx (delete the
// first letter of line 6), 3Gdd (delete the comment), Ctrl-E (scroll one line), Gofoo();<Esc> (add a
// last line, which scrolls the window). Syntax colours come as SGR 30-37 and 38;5;n.
TEST(TerminalTranscript, VimWithSyntaxColoursAndLineNumbersDrawsTheEditedFile)
{
    const std::string transcript = readTranscript("vim-syntax-numbers-40x10.raw");
    ASSERT_FALSE(transcript.empty());
    const Screen expected = {
        "  3 int main(void)",
        "  4 {",
        "  5     nt n = 3;",
        "  6     for (int i = 0; i < n; i++) {",
        "  7         printf(\"hi %d\\n\", i);",
        "  8     }",
        "  9     return 0;",
        " 10 }",
        " 11 foo();",
        "",
    };
    Terminal terminal(nullptr, optionsOfSize(40, 10));
    EXPECT_EQ(replay(terminal, transcript, transcript.size()), expected);
    EXPECT_EQ(terminal.cursorPosition(), (std::pair<int64_t, int64_t>{9, 8}));

    // Line numbers in colour 130, the type keyword in green, the rest in the default colours.
    EXPECT_EQ(terminal.cellAt(2, 0)->attribute.fg, Attribute::Color::ansi256(130));
    EXPECT_EQ(terminal.cellAt(4, 0)->attribute.fg, Attribute::Color::ansi256(2));
    EXPECT_EQ(terminal.cellAt(8, 0)->attribute, Attribute());
    EXPECT_EQ(terminal.cellAt(0, 9)->attribute, Attribute());
}

// less on the thirty lines of the first test, typed: jjj (three lines forward), k (one back, by
// reverse index), /line 1<Return> (search: the first match goes to the top, every match shown in
// standout).
TEST(TerminalTranscript, LessScrollingAndSearchingShowsTheMatchesHighlighted)
{
    const std::string transcript = readTranscript("less-scroll-search-40x10.raw");
    ASSERT_FALSE(transcript.empty());
    Screen expected;
    for (int line = 10; line <= 18; ++line) {
        expected.push_back("line " + std::to_string(line) + " of the notes");
    }
    expected.push_back(":");
    Terminal terminal(nullptr, optionsOfSize(40, 10));
    EXPECT_EQ(replay(terminal, transcript, transcript.size()), expected);
    for (int64_t row = 0; row < 9; ++row) {
        EXPECT_TRUE(terminal.cellAt(5, row)->attribute.style.contains(CharacterStyle::inverse)) << row;
        EXPECT_EQ(terminal.cellAt(6, row)->attribute, Attribute()) << row;
    }
}
