#include "Kestrix/core/TransitionTable.h"

namespace kestrix {

namespace {

using enum ParserState;
using enum ParserAction;

constexpr ParserState allStates[] = {ground,    escape,          escapeIntermediate, csiEntry,
                                     csiParam,  csiIntermediate, csiIgnore,          sosPmApcString,
                                     oscString, apcString,       dcsEntry,           dcsParam,
                                     dcsIgnore, dcsIntermediate, dcsPassthrough};

// C0 controls that are executed: everything below 0x20 except EM (0x19), SUB (0x1A) and ESC.
constexpr void addExecutable(TransitionTable &t, ParserState state, ParserAction action, ParserState next)
{
    t.addRange(0x00, 0x18, state, action, next);
    t.addRange(0x1C, 0x1F, state, action, next);
}

// What every state shares: C1 controls, ESC, and the bytes that are always an error.
constexpr void addCommonRows(TransitionTable &t, ParserState state)
{
    t.addRange(0x00, TransitionTable::highestDistinctByte, state, error, ground);
    t.add(0x1A, state, execute, ground);
    t.addRange(0x80, 0x8F, state, execute, ground);
    t.addRange(0x91, 0x97, state, execute, ground);
    t.add(0x99, state, execute, ground);
    t.add(0x9A, state, execute, ground);
    t.add(0x1B, state, clear, escape);
    t.add(0x90, state, clear, dcsEntry);
    t.add(0x9B, state, clear, csiEntry);
    t.add(0x9C, state, ignore, ground);
    t.add(0x9D, state, stringStart, oscString);
    t.add(0x98, state, ignore, sosPmApcString);
    t.add(0x9E, state, ignore, sosPmApcString);
    t.add(0x9F, state, stringStart, apcString);
}

// OSC and APC strings. C1 bytes are string data here, exactly as for the collecting scan of the
// parser, so a UTF-8 string reads the same however the stream is split.
constexpr void addStringRows(TransitionTable &t, ParserState state)
{
    addExecutable(t, state, ignore, state);
    // EM is skipped like the other controls, as the collecting scan skips it: a string reads the
    // same wherever a read boundary falls.
    t.add(0x19, state, ignore, state);
    t.addRange(0x20, 0x7F, state, stringPut, state);
    t.addRange(0x80, 0x9F, state, stringPut, state);
    t.add(0xA0, state, stringPut, state);
    for (uint8_t terminator : {0x07, 0x18, 0x1A, 0x1B}) {
        t.add(terminator, state, stringEnd, ground);
    }
}

// Inside a DCS, SOS or PM string a C1 byte (raw, or the second byte of a UTF-8 character) is
// string data like any other: it neither starts nor executes a control, so host data never acts.
// Only ST (0x9C) ends the string, besides CAN, SUB and ESC.
constexpr void addStringC1(TransitionTable &t, ParserState state, ParserAction action, ParserState next)
{
    t.addRange(0x80, 0x9B, state, action, next);
    t.addRange(0x9D, 0x9F, state, action, next);
}

constexpr TransitionTable buildVt500Table()
{
    TransitionTable t;
    for (ParserState state : allStates) {
        addCommonRows(t, state);
    }

    addExecutable(t, ground, execute, ground);
    t.addRange(0x20, 0x7E, ground, print, ground);

    addExecutable(t, escape, execute, escape);
    t.addRange(0x20, 0x2F, escape, collect, escapeIntermediate);
    t.addRange(0x30, 0x4F, escape, escDispatch, ground);
    t.addRange(0x51, 0x57, escape, escDispatch, ground);
    t.add(0x59, escape, escDispatch, ground);
    t.add(0x5A, escape, escDispatch, ground);
    t.add(0x5C, escape, escDispatch, ground);
    t.addRange(0x60, 0x7E, escape, escDispatch, ground);
    t.add(0x50, escape, clear, dcsEntry);
    t.add(0x5B, escape, clear, csiEntry);
    t.add(0x5D, escape, stringStart, oscString);
    t.add(0x58, escape, ignore, sosPmApcString);
    t.add(0x5E, escape, ignore, sosPmApcString);
    t.add(0x5F, escape, stringStart, apcString);
    t.add(0x7F, escape, ignore, escape);

    addExecutable(t, escapeIntermediate, execute, escapeIntermediate);
    t.addRange(0x20, 0x2F, escapeIntermediate, collect, escapeIntermediate);
    t.addRange(0x30, 0x7E, escapeIntermediate, escDispatch, ground);
    t.add(0x7F, escapeIntermediate, ignore, escapeIntermediate);

    addExecutable(t, csiEntry, execute, csiEntry);
    t.addRange(0x20, 0x2F, csiEntry, collect, csiIntermediate);
    t.addRange(0x30, 0x39, csiEntry, param, csiParam);
    t.add(0x3B, csiEntry, param, csiParam);
    t.add(0x3A, csiEntry, error, ground);
    t.addRange(0x3C, 0x3F, csiEntry, collect, csiParam);
    t.addRange(0x40, 0x7E, csiEntry, csiDispatch, ground);
    t.add(0x7F, csiEntry, ignore, csiEntry);

    addExecutable(t, csiParam, execute, csiParam);
    t.addRange(0x20, 0x2F, csiParam, collect, csiIntermediate);
    t.addRange(0x30, 0x3B, csiParam, param, csiParam);
    t.addRange(0x3C, 0x3F, csiParam, ignore, csiIgnore);
    t.addRange(0x40, 0x7E, csiParam, csiDispatch, ground);
    t.add(0x7F, csiParam, ignore, csiParam);

    addExecutable(t, csiIntermediate, execute, csiIntermediate);
    t.addRange(0x20, 0x2F, csiIntermediate, collect, csiIntermediate);
    t.addRange(0x30, 0x3F, csiIntermediate, ignore, csiIgnore);
    t.addRange(0x40, 0x7E, csiIntermediate, csiDispatch, ground);
    t.add(0x7F, csiIntermediate, ignore, csiIntermediate);

    addExecutable(t, csiIgnore, execute, csiIgnore);
    t.addRange(0x20, 0x3F, csiIgnore, ignore, csiIgnore);
    t.add(0x7F, csiIgnore, ignore, csiIgnore);
    t.addRange(0x40, 0x7E, csiIgnore, ignore, ground);

    addExecutable(t, sosPmApcString, ignore, sosPmApcString);
    t.addRange(0x1C, 0x7F, sosPmApcString, ignore, sosPmApcString);
    addStringC1(t, sosPmApcString, ignore, sosPmApcString);
    t.add(0x9C, sosPmApcString, ignore, ground);
    t.add(TransitionTable::highestDistinctByte, sosPmApcString, ignore, sosPmApcString);

    addStringRows(t, oscString);
    addStringRows(t, apcString);

    // A C1 byte in the header makes the whole string one to ignore.
    for (ParserState header : {dcsEntry, dcsParam, dcsIntermediate}) {
        addStringC1(t, header, ignore, dcsIgnore);
    }

    addExecutable(t, dcsEntry, ignore, dcsEntry);
    t.addRange(0x20, 0x2F, dcsEntry, collect, dcsIntermediate);
    t.addRange(0x30, 0x39, dcsEntry, param, dcsParam);
    t.add(0x3B, dcsEntry, param, dcsParam);
    t.add(0x3A, dcsEntry, ignore, dcsIgnore);
    t.addRange(0x3C, 0x3F, dcsEntry, collect, dcsParam);
    t.addRange(0x40, 0x7E, dcsEntry, dcsHook, dcsPassthrough);
    t.add(0x7F, dcsEntry, ignore, dcsEntry);

    addExecutable(t, dcsParam, ignore, dcsParam);
    t.addRange(0x20, 0x2F, dcsParam, collect, dcsIntermediate);
    t.addRange(0x30, 0x39, dcsParam, param, dcsParam);
    t.add(0x3B, dcsParam, param, dcsParam);
    t.add(0x3A, dcsParam, ignore, dcsIgnore);
    t.addRange(0x3C, 0x3F, dcsParam, ignore, dcsIgnore);
    t.addRange(0x40, 0x7E, dcsParam, dcsHook, dcsPassthrough);
    t.add(0x7F, dcsParam, ignore, dcsParam);

    addExecutable(t, dcsIgnore, ignore, dcsIgnore);
    t.addRange(0x1C, 0x7F, dcsIgnore, ignore, dcsIgnore);
    addStringC1(t, dcsIgnore, ignore, dcsIgnore);

    addExecutable(t, dcsIntermediate, ignore, dcsIntermediate);
    t.addRange(0x20, 0x2F, dcsIntermediate, collect, dcsIntermediate);
    t.addRange(0x30, 0x3F, dcsIntermediate, ignore, dcsIgnore);
    t.addRange(0x40, 0x7E, dcsIntermediate, dcsHook, dcsPassthrough);
    t.add(0x7F, dcsIntermediate, ignore, dcsIntermediate);

    addExecutable(t, dcsPassthrough, dcsPut, dcsPassthrough);
    t.addRange(0x1C, 0x7E, dcsPassthrough, dcsPut, dcsPassthrough);
    t.add(0x7F, dcsPassthrough, ignore, dcsPassthrough);
    addStringC1(t, dcsPassthrough, dcsPut, dcsPassthrough);
    t.add(0x1B, dcsPassthrough, dcsUnhook, ground);
    t.add(0x9C, dcsPassthrough, dcsUnhook, ground);

    return t;
}

constexpr TransitionTable vt500Table = buildVt500Table();

} // namespace

const TransitionTable &TransitionTable::vt500()
{
    return vt500Table;
}

} // namespace kestrix
