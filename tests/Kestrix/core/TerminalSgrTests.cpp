#include "Kestrix/core/Terminal.h"
#include "TerminalTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrix;
using namespace kestrix::testing;

namespace {

using Color = Attribute::Color;

Attribute with(CharacterStyle style, UnderlineStyle underline = UnderlineStyle::none)
{
    Attribute attribute;
    attribute.style = style;
    attribute.underlineStyle = underline;
    return attribute;
}

Attribute foreground(Color color)
{
    Attribute attribute;
    attribute.fg = color;
    return attribute;
}

Attribute background(Color color)
{
    Attribute attribute;
    attribute.bg = color;
    return attribute;
}

Attribute underlineColor(Color color)
{
    Attribute attribute;
    attribute.underlineColor = color;
    return attribute;
}

struct SgrCase {
    const char *name;
    const char *sequence;
    Attribute expected;
    // What the sequence prints, line by line.
    const char *printed = "";
};

const Attribute plain;
const CharacterStyle underline = CharacterStyle::underline;

const SgrCase sgrCases[] = {
    {"CSI m resets", "\x1b[1;4;31;42m\x1b[m", plain},
    {"0 resets", "\x1b[1;4:3;31;42;58;5;1m\x1b[0m", plain},
    {"a reset in the middle", "\x1b[1;0;4m", with(underline, UnderlineStyle::single)},
    {"styles", "\x1b[1;2;3;5;7;8;9m",
     with({CharacterStyle::bold, CharacterStyle::dim, CharacterStyle::italic, CharacterStyle::blink,
           CharacterStyle::inverse, CharacterStyle::invisible, CharacterStyle::crossedOut})},
    {"styles cleared", "\x1b[1;2;3;5;7;8;9;23;25;27;28;29m",
     with({CharacterStyle::bold, CharacterStyle::dim})},
    {"22 clears bold and dim", "\x1b[1;2;3;22m", with(CharacterStyle::italic)},
    {"21 is a double underline", "\x1b[21m", with(underline, UnderlineStyle::double_)},
    {"24 removes any underline", "\x1b[21;24m", plain},
    {"4:3 is curly", "\x1b[4:3m", with(underline, UnderlineStyle::curly)},
    {"4:5 is dashed", "\x1b[4:5m", with(underline, UnderlineStyle::dashed)},
    {"4:0 removes the underline", "\x1b[4m\x1b[4:0m", plain},
    {"4:9 is single", "\x1b[4:9m", with(underline, UnderlineStyle::single)},
    {"4;3 is underline and italic", "\x1b[4;3m",
     with({underline, CharacterStyle::italic}, UnderlineStyle::single)},

    {"30-37", "\x1b[33m", foreground(Color::ansi256(3))},
    {"90-97 are the bright colours", "\x1b[97m", foreground(Color::ansi256(15))},
    {"40-47", "\x1b[44m", background(Color::ansi256(4))},
    {"100-107 are the bright colours", "\x1b[100m", background(Color::ansi256(8))},
    {"39 and 49 restore the defaults", "\x1b[31;41;39;49m", plain},
    {"256 colours", "\x1b[38;5;196m", foreground(Color::ansi256(196))},
    {"an index past 255 is ignored", "\x1b[31m\x1b[38;5;300m", foreground(Color::ansi256(1))},
    {"an index far past 255 is ignored", "\x1b[38;5;4294967297m", plain},
    {"an index past 255 with colons is ignored", "\x1b[42m\x1b[48:5:256;1m",
     [] {
         Attribute attribute = with(CharacterStyle::bold);
         attribute.bg = Color::ansi256(2);
         return attribute;
     }()},
    {"an underline index past 255 is ignored", "\x1b[58;5;99999999999999999999m", plain},
    {"an ignored index still takes its parameter", "\x1b[38;5;1000;3m", with(CharacterStyle::italic)},
    {"256 colours with colons", "\x1b[48:5:17m", background(Color::ansi256(17))},
    {"true colour with semicolons", "\x1b[38;2;10;20;30m", foreground(Color::trueColor(10, 20, 30))},
    {"true colour with colons", "\x1b[38:2:10:20:30m", foreground(Color::trueColor(10, 20, 30))},
    {"true colour with a colour space", "\x1b[38:2:0:10:20:30m", foreground(Color::trueColor(10, 20, 30))},
    {"true colour with an empty colour space", "\x1b[48:2::10:20:30m",
     background(Color::trueColor(10, 20, 30))},
    {"channels past 255 are 255", "\x1b[38;2;999;20;30m", foreground(Color::trueColor(255, 20, 30))},
    {"true colour background with semicolons", "\x1b[48;2;1;2;3m", background(Color::trueColor(1, 2, 3))},
    {"a palette colour and two more parameters", "\x1b[38;5;100;1;3m",
     [] {
         Attribute attribute = with({CharacterStyle::bold, CharacterStyle::italic});
         attribute.fg = Color::ansi256(100);
         return attribute;
     }()},
    {"true colour mode with one value reads the value as a parameter", "\x1b[38;2;5m",
     with(CharacterStyle::blink)},
    {"colours in a row", "\x1b[38;5;1;48;2;1;2;3;1m",
     [] {
         Attribute attribute = with(CharacterStyle::bold);
         attribute.fg = Color::ansi256(1);
         attribute.bg = Color::trueColor(1, 2, 3);
         return attribute;
     }()},
    {"an incomplete true colour is ignored and the rest read as parameters", "\x1b[31m\x1b[38;2;10;20m",
     foreground(Color::ansi256(1)),
     "Unknown SGR attribute: 10 [38, 2, 10, 20]\nUnknown SGR attribute: 20 [38, 2, 10, 20]\n"},
    {"a short colon true colour is ignored whole", "\x1b[38:2:10:20;1m", with(CharacterStyle::bold)},
    {"an unknown colon colour mode is skipped whole", "\x1b[38:3:1:2:3;1m", with(CharacterStyle::bold)},
    {"an unknown semicolon colour mode skips only itself", "\x1b[38;3;1m", with(CharacterStyle::bold)},
    {"38 at the end", "\x1b[38m", plain},
    {"38;5 at the end", "\x1b[38;5m", plain},
    {"underline colour", "\x1b[58;5;1m", underlineColor(Color::ansi256(1))},
    {"underline colour true", "\x1b[58:2::1:2:3m", underlineColor(Color::trueColor(1, 2, 3))},
    {"59 removes the underline colour", "\x1b[58;5;1;59m", plain},

    {"simple parameters with colons between them", "\x1b[1:3m", with({CharacterStyle::bold, CharacterStyle::italic})},
    {"simple parameters before an extended colour", "\x1b[7m\x1b[27;1;38;5;2m",
     [] {
         Attribute attribute = with(CharacterStyle::bold);
         attribute.fg = Color::ansi256(2);
         return attribute;
     }()},
    {"simple parameters before an underline style", "\x1b[3m\x1b[23;32;4:3m",
     [] {
         Attribute attribute = with(underline, UnderlineStyle::curly);
         attribute.fg = Color::ansi256(2);
         return attribute;
     }()},
    {"simple parameters around an unknown one", "\x1b[1m\x1b[0;31;6;44m",
     [] {
         Attribute attribute = foreground(Color::ansi256(1));
         attribute.bg = Color::ansi256(4);
         return attribute;
     }(),
     "Unknown SGR attribute: 6 [0, 31, 6, 44]\n"},

    {"intermediates make it another function", "\x1b[>4;2m", plain},
    {"an unknown parameter is reported and skipped", "\x1b[6;1m", with(CharacterStyle::bold),
     "Unknown SGR attribute: 6 [6, 1]\n"},
};

class Sgr : public ::testing::TestWithParam<SgrCase> {};

} // namespace

TEST_P(Sgr, SetsTheAttributeOfNewText)
{
    const SgrCase &c = GetParam();
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    ::testing::internal::CaptureStdout();
    terminal.feedString(c.sequence);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed) << c.name;
    EXPECT_EQ(terminal.curAttr, c.expected) << c.name;

    terminal.feedString("x");
    EXPECT_EQ(terminal.cellAt(0, 0)->attribute, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, Sgr, ::testing::ValuesIn(sgrCases));

TEST(TerminalSgr, ALongListOfUnknownParametersPrintsABoundedReport)
{
    Terminal terminal(nullptr, optionsOfSize(10, 5));
    std::string sequence = "\x1b[";
    for (int i = 0; i < 1000; ++i) {
        sequence += "6;";
    }
    sequence += "1m";
    ::testing::internal::CaptureStdout();
    terminal.feedString(sequence);
    std::fflush(stdout);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 8);
    EXPECT_TRUE(terminal.curAttr.style.contains(CharacterStyle::bold));
}
