#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Takes every default; counts the colour notices and passes them on to the defaults.
class DefaultsDelegate : public TerminalDelegate {
public:
    void terminalForegroundColorDidChange(Terminal &source, Color color) override
    {
        ++foregroundNotices;
        TerminalDelegate::terminalForegroundColorDidChange(source, color);
    }
    void terminalCursorColorDidChange(Terminal &source, std::optional<Color> color) override
    {
        ++cursorNotices;
        TerminalDelegate::terminalCursorColorDidChange(source, color);
    }

    int foregroundNotices = 0;
    int cursorNotices = 0;
};

TerminalOptions xtermOptions()
{
    TerminalOptions options;
    options.ansi256PaletteStrategy = Ansi256PaletteStrategy::xterm;
    return options;
}

TEST(TerminalDelegate, DefaultsAnswerQueriesLikeAHostWithoutAWindow)
{
    TerminalDelegate delegate;
    Terminal terminal(&delegate, TerminalOptions{});

    EXPECT_TRUE(delegate.terminalAllowsHostQueries(terminal));
    EXPECT_EQ(delegate.terminalCellPixelSize(terminal), std::nullopt);
    EXPECT_EQ(delegate.terminalReadClipboard(terminal), std::nullopt);
    EXPECT_EQ(
        delegate.terminalWindowRequest(
            terminal, WindowManipulationCommand::of(WindowManipulationCommand::Kind::reportWindowTitle)),
        std::nullopt);
}

TEST(TerminalDelegate, CurrentColorsDefaultToTheTerminalsOwnColours)
{
    TerminalDelegate delegate;
    Terminal terminal(&delegate, xtermOptions());
    EXPECT_EQ(delegate.terminalCurrentColors(terminal),
              (TerminalColors{Color::defaultForeground(), Color::defaultBackground()}));

    const Color paper = Color::fromRgb8(250, 250, 240);
    const Color ink = Color::fromRgb8(20, 20, 30);
    terminal.setBackgroundColor(paper);
    terminal.setForegroundColor(ink);
    EXPECT_EQ(delegate.terminalCurrentColors(terminal), (TerminalColors{ink, paper}));
}

TEST(TerminalDelegate, ColourNoticeDefaultsStoreIntoTheTerminalAndNotifyOnce)
{
    DefaultsDelegate delegate;
    Terminal terminal(&delegate, xtermOptions());

    const Color red = Color::fromRgb8(255, 0, 0);
    terminal.setForegroundColor(red);
    EXPECT_EQ(delegate.foregroundNotices, 1);
    EXPECT_EQ(terminal.foregroundColor(), red);

    terminal.setCursorColor(red);
    EXPECT_EQ(delegate.cursorNotices, 1);
    EXPECT_EQ(terminal.cursorColor(), red);

    // A host that reports a colour change on its own has it stored by the default.
    const Color blue = Color::fromRgb8(0, 0, 255);
    delegate.TerminalDelegate::terminalBackgroundColorDidChange(terminal, blue);
    EXPECT_EQ(terminal.backgroundColor(), blue);
    delegate.TerminalDelegate::terminalCursorColorDidChange(terminal, std::nullopt);
    EXPECT_EQ(terminal.cursorColor(), std::nullopt);
}

} // namespace
} // namespace kestrix
