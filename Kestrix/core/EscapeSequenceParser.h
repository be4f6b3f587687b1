#pragma once

#include "Kestrix/core/ParserState.h"
#include "Kestrix/core/ParsingState.h"
#include "Kestrix/core/StringBuffer.h"
#include "Kestrix/core/TransitionTable.h"
#include "Kestrix/graphics/DcsHandler.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

namespace kestrix {

class Terminal;

using ByteSpan = std::span<const uint8_t>;
using ParameterSpan = std::span<const int64_t>;

// Turns the host's byte stream into printable runs and control functions, and dispatches each
// complete sequence to its terminal. A table-driven VT500-style state machine with two fast paths:
// printable runs in the ground state and parameter digits inside a CSI.
class EscapeSequenceParser {
public:
    using OscHandler = std::function<void(ByteSpan data)>;

    // Host-controlled sizes are bounded: further parameters of one sequence are dropped, and a
    // string longer than the limit is dropped as a whole.
    static constexpr size_t maximumParameterCount = 1024;
    static constexpr size_t maximumStringLength = 64 * 1024 * 1024;
    // Real sequences carry at most a few intermediates; more cannot match any function.
    static constexpr size_t maximumCollectLength = 32;

    // The terminal is not owned; without one every dispatch goes to the fallbacks.
    explicit EscapeSequenceParser(Terminal *terminal);
    ~EscapeSequenceParser();
    EscapeSequenceParser(const EscapeSequenceParser &) = delete;
    EscapeSequenceParser &operator=(const EscapeSequenceParser &) = delete;

    // Consumes all of `bytes`. Sequence state carries over to the next call; a print run or DCS
    // data run is delivered at the end of each call. Bytes fed from inside a handler are parsed
    // after the current call's bytes, never re-entrantly.
    void parse(ByteSpan bytes);
    // Back to ground, discarding a partial sequence; an active DCS handler is dropped unhooked.
    void reset();

    ParserState currentState() const { return currentState_; }
    ParserState initialState() const { return ParserState::ground; }
    // The separators (";" or ":") between the parameters of the CSI being dispatched, in order.
    ByteSpan parameterSeparators() const { return {separators_.data(), parameterCount_ - 1}; }
    const DcsHandler *activeDcsHandler() const { return activeDcsHandler_.get(); }
    const TransitionTable &table() const { return table_; }

    std::unordered_map<int64_t, OscHandler> oscHandlers;
    std::function<ParsingState(ParsingState)> errorHandler;
    Terminal *terminal = nullptr;
    // Print runs, and the reset of print state at each control sequence, go to the terminal
    // directly; a handler set here takes them instead (for a host that watches what is printed).
    std::function<void(ByteSpan)> printHandler;
    std::function<void()> printStateReset;
    std::function<void(ByteSpan collect, uint8_t finalByte)> escHandlerFallback;
    std::function<void()> executeHandlerFallback;
    std::function<void(ParameterSpan parameters, ByteSpan collect, uint8_t finalByte)> csiHandlerFallback;
    std::function<void(int64_t code, ByteSpan data)> oscHandlerFallback;
    std::function<void(uint8_t command, ByteSpan data)> apcHandlerFallback;

private:
    // Positions of the pending print run and DCS data run within the slice being parsed.
    struct PendingRuns {
        int64_t print = -1;
        int64_t dcs = -1;
        // Where the printable ASCII that starts the print run ends, when the scan found it; 0
        // when unknown.
        size_t printAsciiEnd = 0;
    };

    void parseSlice(ByteSpan bytes);
    size_t dispatchSimpleCsi(ByteSpan bytes, size_t start, PendingRuns &runs);
    bool performAction(ParserAction action, ParserState &state, ParserState next, ByteSpan bytes, size_t &i,
                       PendingRuns &runs);
    bool handleError(ParserState &state, ByteSpan bytes, size_t i, PendingRuns &runs);
    size_t collectString(ParserState state, ByteSpan bytes, size_t start);
    void endString(ParserState state, uint8_t terminator);
    void dispatchOscString();
    void dispatchApcString();
    void foldDigit(uint8_t digit);
    void addParameter(uint8_t separator);
    void addCollect(uint8_t byte);
    ParameterSpan parameters() const { return {parameters_.data(), parameterCount_}; }
    void clearSequence();
    void clearParameters();
    // Inline: every control sequence passes through it.
    [[gnu::always_inline]] inline void clearAllButParameters();
    // Inline: every control between runs of text passes through it.
    [[gnu::always_inline]] inline void flushPrint(ByteSpan bytes, size_t end, PendingRuns &runs);
    void putDcsData(ByteSpan data);

    void hookDcs(uint8_t finalByte);
    void unhookDcs();
    void replaceDcsHandler(std::unique_ptr<DcsHandler> handler);

    // The dispatchers into the terminal (EscapeSequenceDispatch.cpp).
    void dispatchExecute(uint8_t code);
    // CR then LF, as dispatchExecute takes them one after the other.
    void dispatchReturnAndLineFeed();
    void dispatchCsi(uint8_t finalByte);
    void dispatchEsc(uint8_t finalByte);
    void dispatchOsc(int64_t code, ByteSpan data);

    // Keeping what a call may change, so an aborting error handler leaves the parser as it was.
    void beginCall();
    void endCall();
    void restoreCallStart();
    void emptyString(StringBuffer &string, StringBuffer &atCallStart, bool &restarted);

    const TransitionTable &table_;
    // Bit b is set when the table takes the control byte b in ground to the execute action and
    // back to ground: the parse loop takes those without a table lookup.
    uint32_t groundExecutes_ = 0;
    ParserState currentState_ = ParserState::ground;
    std::unique_ptr<DcsHandler> activeDcsHandler_;
    size_t dcsDataLength_ = 0;
    StringBuffer osc_;
    StringBuffer apc_;
    // Set wherever bytes go into the strings and cleared once both are emptied: while it is clear,
    // both are empty, and the clearing at each control sequence need not look at them.
    bool stringsMayHoldData_ = false;
    bool stringTooLong_ = false;
    // The parameters of the sequence being read, in place: the last one is the one being read.
    // Fixed arrays, as every control sequence fills them.
    std::array<int64_t, maximumParameterCount> parameters_{};
    std::array<uint8_t, maximumParameterCount - 1> separators_{};
    size_t parameterCount_ = 1;
    bool tooManyParameters_ = false;
    std::vector<uint8_t> collect_;

    bool parsing_ = false;
    bool callInProgress_ = false;
    std::vector<uint8_t> pendingInput_;

    struct CallStart {
        ParserState state = ParserState::ground;
        std::vector<int64_t> pars;
        std::vector<uint8_t> parsTxt;
        std::vector<uint8_t> collect;
        size_t oscLength = 0;
        size_t apcLength = 0;
        StringBuffer osc;
        StringBuffer apc;
        bool oscRestarted = false;
        bool apcRestarted = false;
        bool stringTooLong = false;
        bool tooManyParameters = false;
        size_t dcsDataLength = 0;
        std::unique_ptr<DcsHandler> dcsHandler;
        bool dcsHandlerReplaced = false;
    } callStart_;
};

} // namespace kestrix
