#include "Kestrix/core/EscapeSequenceParser.h"

#include "Kestrix/core/NamedScalars.h"
#include "Kestrix/core/Profiling.h"
#include "Kestrix/core/Terminal.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrix {

namespace {

constexpr uint8_t BEL = 0x07;
constexpr uint8_t CAN = 0x18;
constexpr uint8_t SUB = 0x1A;
constexpr uint8_t ESC = 0x1B;

// A parameter, and an OSC code, saturate at this value: one more digit cannot overflow, and a huge
// number never turns into a small one.
constexpr int64_t largestParameter = 0xCCCCCCCCCCCCCC2;
// Buffers kept between calls for reuse are released when they grew beyond this.
constexpr size_t retainedCapacity = 64 * 1024;

#if defined(__SSE2__)
// Where the processor has them (every x86-64 does), the scans below look at sixteen bytes at a
// time first: most runs of text then end within the first block.
constexpr size_t blockSize = 16;

__m128i loadBlock(const uint8_t *at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

// Bit k is set when byte k of the block at `at` is below 0x20: the smaller of it and 0x1F is itself.
unsigned controlBytesInBlock(const uint8_t *at)
{
    const __m128i block = loadBlock(at);
    const __m128i controls = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x1F)), block);
    return static_cast<unsigned>(_mm_movemask_epi8(controls));
}

// Bit k is set when byte k of the block at `at` is not printable ASCII. Compared as signed bytes,
// 0x80 and up are negative and fall below 0x20 with the controls; 0x7F is the one left.
unsigned nonAsciiBytesInBlock(const uint8_t *at)
{
    const __m128i block = loadBlock(at);
    const __m128i below = _mm_cmplt_epi8(block, _mm_set1_epi8(0x20));
    const __m128i deleteBytes = _mm_cmpeq_epi8(block, _mm_set1_epi8(0x7F));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(below, deleteBytes)));
}
#endif

// The first byte from `i` on below 0x20 (or `length`), eight bytes at a time: a word has such a byte
// exactly when subtracting 0x20 from each byte borrows into a byte whose top bit was clear. Borrows
// only run towards later bytes, so the lowest flagged byte is the first one.
size_t skipPrintData(const uint8_t *bytes, size_t i, size_t length)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highBits = 0x8080808080808080ULL;
#if defined(__SSE2__)
    for (; i + blockSize <= length; i += blockSize) {
        if (const unsigned flagged = controlBytesInBlock(bytes + i)) {
            return i + static_cast<size_t>(std::countr_zero(flagged));
        }
    }
#endif
    while (i + sizeof(uint64_t) <= length) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        const uint64_t flagged = (word - ones * 0x20) & ~word & highBits;
        if (flagged != 0) {
            if constexpr (std::endian::native == std::endian::little) {
                return i + static_cast<size_t>(std::countr_zero(flagged)) / 8;
            }
            break;
        }
        i += sizeof word;
    }
    while (i < length && bytes[i] >= 0x20) {
        ++i;
    }
    return i;
}

// The print data from `i` on, as skipPrintData finds it, and in `asciiEnd` where the printable ASCII
// that starts it ends: one pass, so the printer need not scan the run again. A word is flagged as in
// skipPrintData, and also where adding 1 sets a top bit (0x7F and up); carries, like borrows, only
// run towards later bytes.
size_t skipPrintDataNotingAscii(const uint8_t *bytes, size_t i, size_t length, size_t &asciiEnd)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highBits = 0x8080808080808080ULL;
#if defined(__SSE2__)
    for (; i + blockSize <= length; i += blockSize) {
        if (const unsigned flagged = nonAsciiBytesInBlock(bytes + i)) {
            i += static_cast<size_t>(std::countr_zero(flagged));
            asciiEnd = i;
            return bytes[i] < 0x20 ? i : skipPrintData(bytes, i + 1, length);
        }
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        while (i + sizeof(uint64_t) <= length) {
            uint64_t word = 0;
            std::memcpy(&word, bytes + i, sizeof word);
            const uint64_t flagged = (((word + ones) | word) | ((word - ones * 0x20) & ~word)) & highBits;
            if (flagged != 0) {
                i += static_cast<size_t>(std::countr_zero(flagged)) / 8;
                asciiEnd = i;
                return bytes[i] < 0x20 ? i : skipPrintData(bytes, i + 1, length);
            }
            i += sizeof word;
        }
    }
    while (i < length && isPrintableAscii(bytes[i])) {
        ++i;
    }
    asciiEnd = i;
    return i < length && bytes[i] >= 0x20 ? skipPrintData(bytes, i + 1, length) : i;
}

bool isDigit(uint8_t byte)
{
    return byte >= '0' && byte <= '9';
}

bool endsStringCollection(uint8_t byte)
{
    return byte == BEL || byte == CAN || byte == SUB || byte == ESC;
}

void releaseOrClear(StringBuffer &bytes)
{
    if (bytes.capacity() > retainedCapacity) {
        bytes.release();
    } else {
        bytes.clear();
    }
}

} // namespace

EscapeSequenceParser::EscapeSequenceParser(Terminal *terminal)
    : errorHandler([](ParsingState state) { return state; })
    , terminal(terminal)
    , escHandlerFallback([](ByteSpan, uint8_t) {})
    , executeHandlerFallback([] {})
    , csiHandlerFallback([](ParameterSpan, ByteSpan, uint8_t finalByte) {
        std::printf("Cannot handle ESC-%d\n", finalByte);
    })
    , oscHandlerFallback([](int64_t, ByteSpan) {})
    , apcHandlerFallback([](uint8_t, ByteSpan) {})
    , table_(TransitionTable::vt500())
{
    for (uint8_t byte = 0; byte < 0x20; ++byte) {
        const TransitionTable::Transition transition = table_.lookup(ParserState::ground, byte);
        if (transition.action == ParserAction::execute && transition.next == ParserState::ground) {
            groundExecutes_ |= uint32_t{1} << byte;
        }
    }
}

EscapeSequenceParser::~EscapeSequenceParser() = default;

void EscapeSequenceParser::parse(ByteSpan bytes)
{
    if (parsing_) {
        pendingInput_.insert(pendingInput_.end(), bytes.begin(), bytes.end());
        return;
    }
    ProfileInterval interval("ParserProfile", "Parser.Parse");
    struct ParsingFlag {
        bool &flag;
        explicit ParsingFlag(bool &f)
            : flag(f)
        {
            flag = true;
        }
        ~ParsingFlag() { flag = false; }
    } parsingFlag(parsing_);

    parseSlice(bytes);
    while (!pendingInput_.empty()) {
        std::vector<uint8_t> input;
        input.swap(pendingInput_);
        parseSlice(input);
    }
}

void EscapeSequenceParser::parseSlice(ByteSpan bytes)
{
    beginCall();
    PendingRuns runs;
    ParserState state = currentState_;
    const size_t length = bytes.size();
    size_t i = 0;
    while (i < length) {
        const uint8_t byte = bytes[i];
        if (state == ParserState::ground && byte >= 0x20) {
            // Everything from 0x20 up is print data in ground, UTF-8 and C1 bytes included.
            if (runs.print < 0) {
                runs.print = static_cast<int64_t>(i);
                i = skipPrintDataNotingAscii(bytes.data(), i, length, runs.printAsciiEnd);
            } else {
                i = skipPrintData(bytes.data(), i + 1, length);
            }
            continue;
        }
        if (state == ParserState::ground && byte == ESC) {
            const size_t end = dispatchSimpleCsi(bytes, i, runs);
            if (end != 0) {
                i = end;
                continue;
            }
        }
        if (state == ParserState::csiParam && isDigit(byte)) {
            foldDigit(byte);
            ++i;
            continue;
        }
        if (state == ParserState::ground && byte < 0x20 && (groundExecutes_ >> byte & 1) != 0) {
            // Line feeds, returns and tabs between runs of text: the execute action, taken directly.
            flushPrint(bytes, i, runs);
            if (byte == '\r' && i + 1 < length && bytes[i + 1] == '\n' && (groundExecutes_ >> '\n' & 1) != 0) {
                // The line end a terminal device hands on, as one step.
                dispatchReturnAndLineFeed();
                i += 2;
                continue;
            }
            dispatchExecute(byte);
            ++i;
            continue;
        }
        const TransitionTable::Transition transition = table_.lookup(state, byte);
        if (!performAction(transition.action, state, transition.next, bytes, i, runs)) {
            restoreCallStart();
            return;
        }
    }
    if (state == ParserState::ground && runs.print >= 0) {
        flushPrint(bytes, length, runs);
    } else if (state == ParserState::dcsPassthrough && runs.dcs >= 0) {
        putDcsData(bytes.subspan(static_cast<size_t>(runs.dcs)));
    }
    currentState_ = state;
    endCall();
}

// The CSI that starts with the ESC at `start`, when the whole sequence is in the slice and has only
// digits, semicolons and colons (no colon first) before its final byte: the common case, which the
// table would take through the same actions byte by byte. Parses and dispatches it in one pass and
// returns the index after its final byte; returns 0 and dispatches nothing for any other sequence,
// whose parameters the table's clear action then starts over.
size_t EscapeSequenceParser::dispatchSimpleCsi(ByteSpan bytes, size_t start, PendingRuns &runs)
{
    // ESC ends the print run whatever follows it; the table's clear action would flush it too.
    flushPrint(bytes, start, runs);
    const size_t length = bytes.size();
    if (start + 2 >= length || bytes[start + 1] != '[' || bytes[start + 2] == ':') {
        return 0;
    }
    // The parameters are read in registers and stored as each ends. A sequence that reaches the
    // bounds foldDigit and addParameter keep (a parameter that large, that many parameters) is
    // left to the table, so the loop need not keep them.
    size_t count = 1;
    int64_t value = 0;
    size_t i = start + 2;
    for (; i < length; ++i) {
        const uint8_t byte = bytes[i];
        // Unsigned, so every byte below '0' wraps above 9: one comparison tells a digit.
        const uint32_t digit = static_cast<uint32_t>(byte) - '0';
        if (digit <= 9) {
            value = value * 10 + digit;
            if (value > largestParameter) [[unlikely]] {
                return 0;
            }
        } else if (byte == ';' || byte == ':') {
            if (count == maximumParameterCount) [[unlikely]] {
                return 0;
            }
            parameters_[count - 1] = value;
            separators_[count - 1] = byte;
            ++count;
            value = 0;
        } else {
            break;
        }
    }
    if (i == length) {
        return 0;
    }
    const uint8_t finalByte = bytes[i];
    if (finalByte < 0x40 || finalByte > 0x7E) {
        return 0;
    }
    parameters_[count - 1] = value;
    parameterCount_ = count;
    tooManyParameters_ = false;
    clearAllButParameters();
    runs = {};
    if (finalByte == 'm' && terminal != nullptr) {
        // SGR, the most common of all sequences, goes to the terminal past the route table; the
        // sequence has no intermediates.
        terminal->cmdSGR(parameters(), {});
    } else {
        dispatchCsi(finalByte);
    }
    return i + 1;
}

// Performs one table action for the byte at i and advances i past what it consumed. Returns
// false when the error handler asked to abort the call.
bool EscapeSequenceParser::performAction(ParserAction action, ParserState &state, ParserState next,
                                         ByteSpan bytes, size_t &i, PendingRuns &runs)
{
    const uint8_t byte = bytes[i];
    switch (action) {
    case ParserAction::ignore:
        if (runs.print >= 0) {
            flushPrint(bytes, i, runs);
        } else if (runs.dcs >= 0) {
            putDcsData(bytes.subspan(static_cast<size_t>(runs.dcs), i - static_cast<size_t>(runs.dcs)));
        }
        runs = {};
        break;
    case ParserAction::error:
        if (!handleError(state, bytes, i, runs)) {
            return false;
        }
        ++i;
        return true;
    case ParserAction::print:
        if (runs.print < 0) {
            runs.print = static_cast<int64_t>(i);
        }
        break;
    case ParserAction::execute:
        flushPrint(bytes, i, runs);
        dispatchExecute(byte);
        break;
    case ParserAction::stringStart:
        flushPrint(bytes, i, runs);
        if (next == ParserState::apcString) {
            emptyString(apc_, callStart_.apc, callStart_.apcRestarted);
        } else {
            emptyString(osc_, callStart_.osc, callStart_.oscRestarted);
        }
        stringTooLong_ = false;
        break;
    case ParserAction::stringPut:
        state = next;
        i = collectString(state, bytes, i);
        return true;
    case ParserAction::stringEnd:
        endString(state, byte);
        state = byte == ESC ? ParserState::escape : ParserState::ground;
        runs = {};
        ++i;
        return true;
    case ParserAction::csiDispatch:
        dispatchCsi(byte);
        break;
    case ParserAction::param:
        if (isDigit(byte)) {
            foldDigit(byte);
        } else {
            addParameter(byte);
        }
        break;
    case ParserAction::collect:
        addCollect(byte);
        break;
    case ParserAction::escDispatch:
        dispatchEsc(byte);
        break;
    case ParserAction::clear:
        flushPrint(bytes, i, runs);
        clearSequence();
        runs = {};
        break;
    case ParserAction::dcsHook:
        hookDcs(byte);
        break;
    case ParserAction::dcsPut:
        if (runs.dcs < 0) {
            runs.dcs = static_cast<int64_t>(i);
        }
        break;
    case ParserAction::dcsUnhook:
        if (runs.dcs >= 0) {
            putDcsData(bytes.subspan(static_cast<size_t>(runs.dcs), i - static_cast<size_t>(runs.dcs)));
        }
        unhookDcs();
        clearSequence();
        runs = {};
        state = byte == ESC ? ParserState::escape : ParserState::ground;
        ++i;
        return true;
    }
    state = next;
    ++i;
    return true;
}

bool EscapeSequenceParser::handleError(ParserState &state, ByteSpan bytes, size_t i, PendingRuns &runs)
{
    const uint8_t byte = bytes[i];
    if (byte >= TransitionTable::highestDistinctByte) {
        if (state == ParserState::csiIgnore || state == ParserState::dcsIgnore) {
            return true;
        }
        if (state == ParserState::dcsPassthrough) {
            if (runs.dcs < 0) {
                runs.dcs = static_cast<int64_t>(i);
            }
            return true;
        }
    }
    ParsingState report;
    report.position = static_cast<int64_t>(i);
    report.code = byte;
    report.currentState = state;
    report.print = runs.print;
    report.dcs = runs.dcs;
    report.osc = osc_.bytes();
    report.apc = apc_.bytes();
    report.collect = collect_;
    if (errorHandler && errorHandler(std::move(report)).abort) {
        return false;
    }
    // A print run is not broken by the error: it goes on and includes the byte, whether or not
    // the run began in this call.
    if (state == ParserState::ground && runs.print < 0) {
        runs.print = static_cast<int64_t>(i);
    }
    state = ParserState::ground;
    return true;
}

// Appends string data from `start` on, skipping other controls, and stops before a byte that ends
// the string (or at the end of the slice). Returns where it stopped.
size_t EscapeSequenceParser::collectString(ParserState state, ByteSpan bytes, size_t start)
{
    StringBuffer &string = state == ParserState::apcString ? apc_ : osc_;
    const size_t length = bytes.size();
    size_t i = start;
    while (i < length) {
        const size_t runEnd = skipPrintData(bytes.data(), i, length);
        if (!stringTooLong_ && runEnd > i) {
            const size_t runLength = runEnd - i;
            if (runLength > maximumStringLength - string.size()) {
                stringTooLong_ = true;
            } else {
                if (string.size() + runLength > string.capacity()) {
                    // Doubling, but never past the limit: a string that cannot end costs at most that.
                    string.reserve(std::min(std::max(string.capacity() * 2, string.size() + runLength),
                                            maximumStringLength));
                }
                string.append(bytes.subspan(i, runLength));
                stringsMayHoldData_ = true;
            }
        }
        i = runEnd;
        if (i == length || endsStringCollection(bytes[i])) {
            break;
        }
        ++i;
    }
    return i;
}

void EscapeSequenceParser::endString(ParserState state, uint8_t terminator)
{
    const bool isApc = state == ParserState::apcString;
    const StringBuffer &string = isApc ? apc_ : osc_;
    // CAN and SUB cancel the string; an over-long one is dropped as a whole.
    if (!string.empty() && terminator != CAN && terminator != SUB && !stringTooLong_) {
        if (isApc) {
            dispatchApcString();
        } else {
            dispatchOscString();
        }
    }
    clearSequence();
}

void EscapeSequenceParser::dispatchOscString()
{
    const ByteSpan string = osc_.bytes();
    const auto semicolon = std::find(string.begin(), string.end(), ';');
    int64_t code = 0;
    for (auto it = string.begin(); it != semicolon && isDigit(*it); ++it) {
        code = std::min(code * 10 + (*it - '0'), largestParameter);
    }
    const ByteSpan data = semicolon == string.end() ? ByteSpan() : ByteSpan(semicolon + 1, string.end());
    dispatchOsc(code, data);
}

void EscapeSequenceParser::dispatchApcString()
{
    const ByteSpan string = apc_.bytes();
    const uint8_t command = string.front();
    const ByteSpan data = string.subspan(1);
    if (terminal != nullptr && command == 'G') {
        // A placement may move the cursor past the image.
        terminal->forgetLastPrintedCell();
        terminal->handleKittyGraphicsCommand(data);
    } else if (apcHandlerFallback) {
        apcHandlerFallback(command, data);
    }
}

void EscapeSequenceParser::foldDigit(uint8_t digit)
{
    if (tooManyParameters_) {
        return;
    }
    int64_t &last = parameters_[parameterCount_ - 1];
    last = std::min(last * 10 + (digit - '0'), largestParameter);
}

void EscapeSequenceParser::addParameter(uint8_t separator)
{
    if (parameterCount_ >= maximumParameterCount) {
        tooManyParameters_ = true;
        return;
    }
    separators_[parameterCount_ - 1] = separator;
    parameters_[parameterCount_] = 0;
    ++parameterCount_;
}

void EscapeSequenceParser::addCollect(uint8_t byte)
{
    if (collect_.size() < maximumCollectLength) {
        collect_.push_back(byte);
    }
}

void EscapeSequenceParser::clearSequence()
{
    clearParameters();
    clearAllButParameters();
}

void EscapeSequenceParser::clearParameters()
{
    // The list always holds at least the parameter being read.
    parameterCount_ = 1;
    parameters_[0] = 0;
    tooManyParameters_ = false;
}

void EscapeSequenceParser::clearAllButParameters()
{
    // An empty string needs no emptying: it cannot have shrunk since the call began, so there is
    // nothing to keep aside for an aborted call either.
    if (stringsMayHoldData_) [[unlikely]] {
        if (!osc_.empty()) {
            emptyString(osc_, callStart_.osc, callStart_.oscRestarted);
        }
        if (!apc_.empty()) {
            emptyString(apc_, callStart_.apc, callStart_.apcRestarted);
        }
        stringsMayHoldData_ = false;
    }
    stringTooLong_ = false;
    collect_.clear();
    if (printStateReset) {
        printStateReset();
    } else if (terminal != nullptr) {
        terminal->printStateReset();
    }
}

void EscapeSequenceParser::flushPrint(ByteSpan bytes, size_t end, PendingRuns &runs)
{
    if (runs.print < 0) {
        return;
    }
    const auto start = static_cast<size_t>(runs.print);
    const size_t asciiLength = runs.printAsciiEnd > start ? runs.printAsciiEnd - start : 0;
    runs.print = -1;
    runs.printAsciiEnd = 0;
    const ByteSpan run(bytes.data() + start, end - start);
    if (printHandler) {
        printHandler(run);
    } else if (terminal != nullptr) {
        terminal->handlePrint(run, asciiLength, bytes.subspan(end));
    }
}

void EscapeSequenceParser::putDcsData(ByteSpan data)
{
    if (!activeDcsHandler_ || data.empty()) {
        return;
    }
    if (data.size() > maximumStringLength - dcsDataLength_) {
        // Too long to be a real request: the whole string is ignored.
        replaceDcsHandler(nullptr);
        return;
    }
    dcsDataLength_ += data.size();
    activeDcsHandler_->put(data);
}

void EscapeSequenceParser::hookDcs(uint8_t finalByte)
{
    std::unique_ptr<DcsHandler> handler;
    if (terminal != nullptr) {
        // A Sixel image moves the cursor past itself.
        terminal->forgetLastPrintedCell();
    }
    if (terminal != nullptr && finalByte == 'q') {
        if (collect_.empty()) {
            handler = terminal->makeSixelDcsHandler();
        } else if (collect_.size() == 1 && collect_[0] == '$') {
            handler = terminal->makeDecrqssHandler();
        }
    }
    replaceDcsHandler(std::move(handler));
    dcsDataLength_ = 0;
    if (activeDcsHandler_) {
        activeDcsHandler_->hook(collect_, parameters(), finalByte);
    }
}

void EscapeSequenceParser::unhookDcs()
{
    if (!activeDcsHandler_) {
        return;
    }
    activeDcsHandler_->unhook();
    replaceDcsHandler(nullptr);
}

void EscapeSequenceParser::replaceDcsHandler(std::unique_ptr<DcsHandler> handler)
{
    if (callInProgress_ && !callStart_.dcsHandlerReplaced) {
        callStart_.dcsHandler = std::move(activeDcsHandler_);
        callStart_.dcsHandlerReplaced = true;
    }
    activeDcsHandler_ = std::move(handler);
}

void EscapeSequenceParser::reset()
{
    currentState_ = initialState();
    clearSequence();
    replaceDcsHandler(nullptr);
    dcsDataLength_ = 0;
}

void EscapeSequenceParser::beginCall()
{
    CallStart &start = callStart_;
    start.state = currentState_;
    const ParameterSpan pars = parameters();
    const ByteSpan separators = parameterSeparators();
    start.pars.assign(pars.begin(), pars.end());
    start.parsTxt.assign(separators.begin(), separators.end());
    start.collect.assign(collect_.begin(), collect_.end());
    start.oscLength = osc_.size();
    start.apcLength = apc_.size();
    start.oscRestarted = false;
    start.apcRestarted = false;
    start.stringTooLong = stringTooLong_;
    start.tooManyParameters = tooManyParameters_;
    start.dcsDataLength = dcsDataLength_;
    start.dcsHandlerReplaced = false;
    callInProgress_ = true;
}

void EscapeSequenceParser::endCall()
{
    callInProgress_ = false;
    releaseOrClear(callStart_.osc);
    releaseOrClear(callStart_.apc);
    callStart_.dcsHandler.reset();
}

void EscapeSequenceParser::restoreCallStart()
{
    CallStart &start = callStart_;
    currentState_ = start.state;
    std::copy(start.pars.begin(), start.pars.end(), parameters_.begin());
    std::copy(start.parsTxt.begin(), start.parsTxt.end(), separators_.begin());
    parameterCount_ = start.pars.size();
    collect_.assign(start.collect.begin(), start.collect.end());
    if (start.oscRestarted) {
        osc_.swap(start.osc);
    }
    osc_.truncate(start.oscLength);
    if (start.apcRestarted) {
        apc_.swap(start.apc);
    }
    apc_.truncate(start.apcLength);
    stringsMayHoldData_ = true;
    stringTooLong_ = start.stringTooLong;
    tooManyParameters_ = start.tooManyParameters;
    dcsDataLength_ = start.dcsDataLength;
    if (start.dcsHandlerReplaced) {
        activeDcsHandler_ = std::move(start.dcsHandler);
    }
    endCall();
}

// Empties a string buffer. The first time in a call, its contents are kept aside instead, so an
// aborted call can put them back; the buffers swap, so no bytes are copied.
void EscapeSequenceParser::emptyString(StringBuffer &string, StringBuffer &atCallStart, bool &restarted)
{
    if (callInProgress_ && !restarted) {
        string.swap(atCallStart);
        restarted = true;
    }
    string.clear();
}

} // namespace kestrix
