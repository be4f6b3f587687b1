#include "Kestrix/core/EscapeSequenceParser.h"
#include "Kestrix/core/Terminal.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

ByteSpan bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

std::string textOf(ByteSpan bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::string listOf(ParameterSpan pars)
{
    std::string text;
    for (int64_t p : pars) {
        text += (text.empty() ? "" : ",") + std::to_string(p);
    }
    return text;
}

// Appends an event, joining consecutive print runs (and DCS puts) so a split stream compares equal
// to a whole one.
void record(std::vector<std::string> &events, const std::string &event)
{
    for (const char *joinable : {"print:", "put:"}) {
        const std::string prefix = joinable;
        if (event.starts_with(prefix) && !events.empty() && events.back().starts_with(prefix)) {
            events.back() += event.substr(prefix.size());
            return;
        }
    }
    events.push_back(event);
}

// A parser without a terminal: every dispatch reaches a fallback closure, which records it.
struct DetachedParser {
    EscapeSequenceParser parser{nullptr};
    std::vector<std::string> events;

    DetachedParser()
    {
        parser.printHandler = [this](ByteSpan b) { record(events, "print:" + textOf(b)); };
        parser.csiHandlerFallback = [this](ParameterSpan p, ByteSpan c, uint8_t f) {
            record(events, "csi:" + textOf(c) + std::string(1, char(f)) + ":" + listOf(p) + ":" +
                               textOf(parser.parameterSeparators()));
        };
        parser.escHandlerFallback = [this](ByteSpan c, uint8_t f) {
            record(events, "esc:" + textOf(c) + std::string(1, char(f)));
        };
        parser.oscHandlerFallback = [this](int64_t code, ByteSpan d) {
            record(events, "osc:" + std::to_string(code) + ":" + textOf(d));
        };
        parser.apcHandlerFallback = [this](uint8_t cmd, ByteSpan d) {
            record(events, "apc:" + std::string(1, char(cmd)) + ":" + textOf(d));
        };
        parser.errorHandler = [this](ParsingState s) {
            record(events, "error:" + std::to_string(s.code));
            return s;
        };
    }

    std::vector<std::string> feed(std::string_view text)
    {
        parser.parse(bytesOf(text));
        return events;
    }
};

struct RecordingDcsHandler : DcsHandler {
    RecordingDcsHandler(std::vector<std::string> &events, std::string name)
        : events(events)
        , name(std::move(name))
    {
    }
    void hook(ByteSpan collect, ParameterSpan pars, uint8_t finalByte) override
    {
        record(events,
               "hook:" + name + ":" + textOf(collect) + std::string(1, char(finalByte)) + ":" + listOf(pars));
    }
    void put(ByteSpan bytes) override { record(events, "put:" + textOf(bytes)); }
    void unhook() override { record(events, "unhook:" + name); }

    std::vector<std::string> &events;
    std::string name;
};

// A terminal whose handlers record what reaches them.
class RecordingTerminal : public Terminal {
public:
    RecordingTerminal()
        : Terminal(nullptr, TerminalOptions{})
    {
        parser().printHandler = [this](ByteSpan b) { record(events, "print:" + textOf(b)); };
        parser().escHandlerFallback = [this](ByteSpan c, uint8_t f) {
            record(events, "esc:" + textOf(c) + std::string(1, char(f)));
        };
        parser().apcHandlerFallback = [this](uint8_t cmd, ByteSpan d) {
            record(events, "apc:" + std::string(1, char(cmd)) + ":" + textOf(d));
        };
    }

    void cmdSGR(ParameterSpan p, ByteSpan c) override
    {
        record(events, "sgr:" + textOf(c) + listOf(p) + ":" + textOf(parser().parameterSeparators()));
    }
    void cmdCursorPosition(ParameterSpan p, ByteSpan) override { record(events, "cup:" + listOf(p)); }
    void cmdLineFeed() override { record(events, "lf"); }
    void cmdCarriageReturn() override { record(events, "cr"); }
    void cmdIndex() override { record(events, "ind"); }
    void bell() override { record(events, "bel"); }
    void updateTitle(std::string title) override { record(events, "title:" + title); }
    void handleKittyGraphicsCommand(ByteSpan d) override { record(events, "kitty:" + textOf(d)); }
    std::unique_ptr<DcsHandler> makeSixelDcsHandler() override
    {
        return std::make_unique<RecordingDcsHandler>(events, "sixel");
    }
    std::unique_ptr<DcsHandler> makeDecrqssHandler() override
    {
        return std::make_unique<RecordingDcsHandler>(events, "decrqss");
    }

    std::vector<std::string> feed(std::string_view text)
    {
        feedString(text);
        return events;
    }

    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

} // namespace

TEST(EscapeSequenceParser, TableHasOneEntryPerStateAndDistinctByte)
{
    const TransitionTable &table = TransitionTable::vt500();
    EXPECT_EQ(table.table().size(), 4095u);
    EXPECT_FALSE(parserStateFromRawValue(15).has_value());
    EXPECT_EQ(parserStateFromRawValue(14), ParserState::dcsPassthrough);

    struct Case {
        ParserState state;
        uint8_t byte;
        ParserAction action;
        ParserState next;
    };
    const Case cases[] = {
        {ParserState::ground, 0x19, ParserAction::error, ParserState::ground},
        {ParserState::csiParam, 0x18, ParserAction::execute, ParserState::csiParam},
        {ParserState::csiEntry, ':', ParserAction::error, ParserState::ground},
        {ParserState::csiParam, ':', ParserAction::param, ParserState::csiParam},
        {ParserState::escape, 0x9B, ParserAction::clear, ParserState::csiEntry},
        {ParserState::escape, 'P', ParserAction::clear, ParserState::dcsEntry},
        {ParserState::oscString, 0x07, ParserAction::stringEnd, ParserState::ground},
        {ParserState::oscString, 0x85, ParserAction::stringPut, ParserState::oscString},
        {ParserState::oscString, 0xE2, ParserAction::stringPut, ParserState::oscString},
        {ParserState::dcsPassthrough, 0x9C, ParserAction::dcsUnhook, ParserState::ground},
        {ParserState::csiIgnore, 'm', ParserAction::ignore, ParserState::ground},
    };
    for (const Case &c : cases) {
        const TransitionTable::Transition t = table.lookup(c.state, c.byte);
        EXPECT_EQ(t.action, c.action) << int(c.state) << " " << int(c.byte);
        EXPECT_EQ(t.next, c.next) << int(c.state) << " " << int(c.byte);
    }
}

TEST(EscapeSequenceParser, CsiParametersAndSeparatorsReachTheFallback)
{
    const struct {
        const char *input;
        const char *expected;
    } cases[] = {
        {"\x1b[31m", "csi:m:31:"},   {"\x1b[m", "csi:m:0:"},          {"\x1b[38:2:1m", "csi:m:38,2,1:::"},
        {"\x1b[;5H", "csi:H:0,5:;"}, {"\x1b[?1049h", "csi:?h:1049:"}, {"\x1b[1;2;3 q", "csi: q:1,2,3:;;"},
    };
    for (const auto &c : cases) {
        DetachedParser p;
        EXPECT_EQ(p.feed(c.input), Events{c.expected}) << c.input;
    }
}

TEST(EscapeSequenceParser, ParameterSaturatesAtItsLargestValue)
{
    // A huge parameter never wraps round to a small one, whatever its digits.
    const std::pair<const char *, const char *> cases[] = {
        {"\x1b[92233720368547757112m", "csi:m:922337203685477570:"},
        {"\x1b[922337203685477570m", "csi:m:922337203685477570:"},
        {"\x1b[922337203685477571m", "csi:m:922337203685477570:"},
        {"\x1b[18446744073709551617B", "csi:B:922337203685477570:"},
        {"\x1b[5;99999999999999999999999999999999999999;7H", "csi:H:5,922337203685477570,7:;;"},
        {"\x1b[?9223372036854775807h", "csi:?h:922337203685477570:"},
    };
    for (const auto &[input, expected] : cases) {
        DetachedParser p;
        EXPECT_EQ(p.feed(input), Events{expected}) << input;
    }
}

TEST(EscapeSequenceParser, KeepsAtMostTheParameterLimit)
{
    DetachedParser p;
    std::string input = "\x1b[";
    for (int i = 0; i < 5000; ++i) {
        input += "7;";
    }
    input += "m";
    p.feed(input);
    ASSERT_EQ(p.events.size(), 1u);
    const std::string &event = p.events[0];
    EXPECT_EQ(std::count(event.begin(), event.end(), '7'), 1024);
    EXPECT_EQ(std::count(event.begin(), event.end(), ';'), 1023);
}

TEST(EscapeSequenceParser, KeepsAtMostThirtyTwoIntermediates)
{
    DetachedParser p;
    p.feed("\x1b" + std::string(100, '#') + "x");
    EXPECT_EQ(p.events, Events{"esc:" + std::string(EscapeSequenceParser::maximumCollectLength, '#') + "x"});
}

TEST(EscapeSequenceParser, OscEndedByBelOrStringTerminator)
{
    DetachedParser bel;
    EXPECT_EQ(bel.feed("\x1b]0;hello\x07"), Events{"osc:0:hello"});
    EXPECT_EQ(bel.parser.currentState(), ParserState::ground);

    DetachedParser st;
    EXPECT_EQ(st.feed("\x1b]2;a;b\x1b"), Events{"osc:2:a;b"});
    EXPECT_EQ(st.parser.currentState(), ParserState::escape);
    // The backslash of the terminator is an ESC dispatch that does nothing else.
    EXPECT_EQ(st.feed("\\x"), (Events{"osc:2:a;b", "esc:\\", "print:x"}));

    DetachedParser codes;
    // A huge code saturates: it names no code, the title's 0 least of all.
    EXPECT_EQ(codes.feed("\x1b]abc\x07\x1b]52;c;Zm9v\x07\x1b]9999999999999999999;x\x07"
                         "\x1b]18446744073709551616;y\x07"),
              (Events{"osc:0:", "osc:52:c;Zm9v", "osc:922337203685477570:x", "osc:922337203685477570:y"}));
}

TEST(EscapeSequenceParser, CanAndSubCancelStringsButCanExecutesInsideCsi)
{
    DetachedParser osc;
    EXPECT_EQ(osc.feed("\x1b]0;title\x18z"), Events{"print:z"});
    DetachedParser sub;
    EXPECT_EQ(sub.feed("\x1b]0;ti\x1atle\x07z"), Events{"print:tlez"});

    RecordingTerminal t;
    t.events.clear();
    EXPECT_EQ(t.feed("\x1b[3\x18"
                     "1m"),
              Events{"sgr:31:"});
}

TEST(EscapeSequenceParser, C1BytesInTextArePrintedAndEsc9BStartsCsi)
{
    DetachedParser p;
    EXPECT_EQ(p.feed("a\xc2\x85"
                     "b\x9b"
                     "c"),
              Events{"print:a\xc2\x85"
                     "b\x9b"
                     "c"});
    DetachedParser q;
    EXPECT_EQ(q.feed("\x1b\x9b"
                     "5m"),
              Events{"csi:m:5:"});
}

TEST(EscapeSequenceParser, PrintRunEndsAtTheFirstControlWhereverItFalls)
{
    // Runs longer than the scans' steps of eight and sixteen bytes, with UTF-8 on either side of
    // the control.
    const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMN";
    for (size_t at = 0; at <= 40; ++at) {
        for (const std::string accent : {"", "\xc3\xa9"}) {
            const std::string before = letters.substr(0, at) + accent;
            const std::string after = accent + letters.substr(at);
            Events expected;
            if (!before.empty()) {
                expected.push_back("print:" + before);
            }
            expected.push_back("lf");
            expected.push_back("print:" + after);
            RecordingTerminal t;
            EXPECT_EQ(t.feed(before + "\n" + after), expected) << "control at " << before.size();
        }
    }
}

TEST(EscapeSequenceParser, ErrorByteIsReportedAndStaysInsideThePrintRun)
{
    DetachedParser p;
    EXPECT_EQ(p.feed("ab\x19"
                     "cd"),
              (Events{"error:25", "print:ab\x19"
                                  "cd"}));
    DetachedParser q;
    EXPECT_EQ(q.feed("\x1b[:5mx"), (Events{"error:58", "print:5mx"}));
}

TEST(EscapeSequenceParser, AbortingErrorHandlerLeavesTheParserAsBeforeTheCall)
{
    DetachedParser p;
    p.feed("\x1b]0;abc");
    p.parser.errorHandler = [](ParsingState s) {
        s.abort = true;
        return s;
    };
    // The OSC ends, a CSI begins, then an error aborts: nothing of this call is kept.
    p.feed("def\x07\x1b[1;2\x1b\xff");
    EXPECT_EQ(p.events, Events{"osc:0:abcdef"});
    EXPECT_EQ(p.parser.currentState(), ParserState::oscString);
    p.parser.errorHandler = [](ParsingState s) { return s; };
    p.events.clear();
    EXPECT_EQ(p.feed("!\x07"), Events{"osc:0:abc!"});
}

TEST(EscapeSequenceParser, ControlsInsideAStringReadTheSameWhereverTheInputIsSplit)
{
    // EM and the other controls that do not end a string are skipped, in the middle of a read and
    // at its start alike.
    const std::string input = "\x1b]2;ab\x19"
                              "cd\x01"
                              "ef\x07x\x1b_Gq\x19r\x1b\\";
    DetachedParser whole;
    const Events expected = whole.feed(input);
    EXPECT_EQ(expected, (Events{"osc:2:abcdef", "print:x", "apc:G:qr", "esc:\\"}));
    for (size_t split = 1; split < input.size(); ++split) {
        DetachedParser p;
        p.feed(input.substr(0, split));
        EXPECT_EQ(p.feed(input.substr(split)), expected) << "split at " << split;
    }
}

TEST(EscapeSequenceParser, ApcGraphicsCommandGoesToTheTerminal)
{
    RecordingTerminal t;
    EXPECT_EQ(t.feed("\x1b_Gf=100,a=T;AAAA\x1b\\\x1b_G\x1b\\\x1b_Xdata\x1b\\"),
              (Events{"kitty:f=100,a=T;AAAA", "kitty:", "apc:X:data"}));
    DetachedParser detached;
    EXPECT_EQ(detached.feed("\x1b_Gq\x07"), Events{"apc:G:q"});
}

TEST(EscapeSequenceParser, DcsRoutingAcrossCalls)
{
    RecordingTerminal t;
    t.feedString("\x1bP0;1q#0;2;0;0;0");
    t.feedString("~~-");
    t.feedString("\x1b\\");
    t.feedString("\x1bP$qm\x1b\\");
    t.feedString("\x1bP+qABC\x1b\\after");
    EXPECT_EQ(t.events, (Events{"hook:sixel:q:0,1", "put:#0;2;0;0;0~~-", "unhook:sixel", "hook:decrqss:$q:0",
                                "put:m", "unhook:decrqss", "print:after"}));
}

// A C1 byte inside a DCS, SOS or PM string, raw or inside a UTF-8 character, is string data: it
// never starts a control function. Only ST, CAN, SUB or ESC end the string.
TEST(EscapeSequenceParser, C1BytesInsideDcsSosAndPmStringsNeverAct)
{
    const std::pair<const char *, Events> detached[] = {
        {"\x1bP$q\xc2\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP$q\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bPq#0\x90\x9d" "0;x\x07\x9f" "G\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP1\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP1$\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP\x85" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP1:\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bP1:\xc2\x9b" "6n\x9c" "after", {"print:after"}},
        {"\x1b^\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bX\xc3\xa9\xc2\x9b" "6n\x1b\\after", {"esc:\\", "print:after"}},
        {"\x1bX\xe2\x80\x9d\x9b" "6n\x9c" "after", {"print:after"}},
        {"\x1bP$qm\x9c" "after", {"print:after"}},
    };
    for (const auto &[input, expected] : detached) {
        DetachedParser p;
        EXPECT_EQ(p.feed(input), expected) << input;
    }
    // The bytes reach the DCS handler as data.
    RecordingTerminal t;
    EXPECT_EQ(t.feed("\x1bP$q\xc2\x9b" "6n\x1b\\\x1bPq#\x9b\x85~\x1b\\"),
              (Events{"hook:decrqss:$q:0", "put:\xc2\x9b" "6n", "unhook:decrqss", "hook:sixel:q:0",
                      "put:#\x9b\x85~", "unhook:sixel"}));
}

TEST(EscapeSequenceParser, ExecuteDispatchReachesTheTerminal)
{
    RecordingTerminal t;
    EXPECT_EQ(t.feed("a\r\nb\x07\x1b"
                     "D\x1b[;5H"),
              (Events{"print:a", "cr", "lf", "print:b", "bel", "ind", "cup:0,5"}));
}

TEST(EscapeSequenceParser, StreamSplitAtEveryPositionDispatchesAsTheWhole)
{
    const std::string stream = "plain \xe2\x82\xac text\r\n\x1b[1;38:2:10:20:30m\x1b]0;t\xc3\xa9tle\x07"
                               "\x1b]2;other\x1b\\\x1bP1q#1!5~\x1b\\\x1b_Gi=1;xyz\x1b\\\x1b[\x18"
                               "4m"
                               "\x1bP$qr\x9c\x1b(0q\x1b)Bend\x19.";
    RecordingTerminal whole;
    const Events expected = whole.feed(stream);
    ASSERT_GT(expected.size(), 10u);
    for (size_t split = 1; split < stream.size(); ++split) {
        RecordingTerminal t;
        t.feedString(std::string_view(stream).substr(0, split));
        t.feedString(std::string_view(stream).substr(split));
        EXPECT_EQ(t.events, expected) << "split at " << split;
    }
}

TEST(EscapeSequenceParser, OverlongStringsAreDroppedWhole)
{
    DetachedParser p;
    const std::string chunk(1024 * 1024, 'A');
    p.feed("\x1b]1337;");
    for (size_t total = 0; total <= EscapeSequenceParser::maximumStringLength; total += chunk.size()) {
        p.feed(chunk);
    }
    p.feed("\x07\x1b]0;ok\x07");
    EXPECT_EQ(p.events, Events{"osc:0:ok"});

    RecordingTerminal t;
    t.feedString("\x1bPq");
    for (size_t total = 0; total <= EscapeSequenceParser::maximumStringLength; total += chunk.size()) {
        t.feedString(chunk);
    }
    t.feedString("\x1b\\");
    ASSERT_FALSE(t.events.empty());
    EXPECT_EQ(t.events.front(), "hook:sixel:q:0");
    EXPECT_NE(t.events.back(), "unhook:sixel");
    EXPECT_EQ(t.parser().activeDcsHandler(), nullptr);
}

TEST(EscapeSequenceParser, ResetDropsPartialSequence)
{
    DetachedParser p;
    int resets = 0;
    p.parser.printStateReset = [&] { ++resets; };
    p.feed("\x1b[12;");
    p.parser.reset();
    EXPECT_EQ(resets, 3);
    EXPECT_EQ(p.feed("m"), Events{"print:m"});
}

TEST(EscapeSequenceParser, InputFedFromAHandlerIsParsedAfterTheCurrentCall)
{
    DetachedParser p;
    p.parser.oscHandlers[7] = [&](ByteSpan) { p.parser.parse(bytesOf("\x1b[1m")); };
    EXPECT_EQ(p.feed("\x1b]7;x\x07tail"), (Events{"print:tail", "csi:m:1:"}));
}

TEST(EscapeSequenceParser, EscDispatchHandlesKnownPairsAndFallsBackOtherwise)
{
    RecordingTerminal t;
    t.feedString("\x1b F\x1b G\x1b=\x1b(0");
    EXPECT_TRUE(t.cc.send8bit);
    EXPECT_TRUE(t.applicationKeypad);
    ASSERT_TRUE(t.charset.has_value());
    EXPECT_EQ(t.charset->lookup('q'), U'\u2500');
    // "(" with a byte that designates no set, two intermediates, an unknown final.
    EXPECT_EQ(t.feed("\x1b(1\x1b(%5\x1bZ"), (Events{"esc:(1", "esc:(%5", "esc:Z"}));
    t.feedString("\x1b%G");
    EXPECT_FALSE(t.charset.has_value());
}

TEST(EscapeSequenceParser, CsiTitleModesAndShiftCapture)
{
    RecordingTerminal t;
    t.feedString("\x1b[>0;1;2;3;9t\x1b[>1s");
    EXPECT_TRUE(t.xtermTitleSetHex && t.xtermTitleQueryHex && t.xtermTitleSetUtf && t.xtermTitleQueryUtf);
    EXPECT_TRUE(t.mouseShiftCapture);
    t.feedString("\x1b[>1;3T\x1b[>s");
    EXPECT_TRUE(t.xtermTitleSetHex && t.xtermTitleSetUtf);
    EXPECT_FALSE(t.xtermTitleQueryHex || t.xtermTitleQueryUtf);
    EXPECT_FALSE(t.mouseShiftCapture);
}
