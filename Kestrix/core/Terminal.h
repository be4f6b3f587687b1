#pragma once

#include "Kestrix/core/CC.h"
#include "Kestrix/core/EscapeSequenceParser.h"
#include "Kestrix/core/KittyKeyboardFlags.h"
#include "Kestrix/core/LinkMatch.h"
#include "Kestrix/core/ProgressReport.h"
#include "Kestrix/core/TerminalOptions.h"
#include "Kestrix/core/WindowManipulationCommand.h"
#include "Kestrix/graphics/DcsHandler.h"
#include "Kestrix/graphics/ImageSizeRequest.h"
#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/graphics/KittyGraphicsPayload.h"
#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/graphics/KittyPlacementContext.h"
#include "Kestrix/model/Ansi256PaletteStrategy.h"
#include "Kestrix/model/Attribute.h"
#include "Kestrix/model/Buffer.h"
#include "Kestrix/model/BufferLine.h"
#include "Kestrix/model/CharData.h"
#include "Kestrix/model/CharSets.h"
#include "Kestrix/model/ClusterTable.h"
#include "Kestrix/model/Color.h"
#include "Kestrix/model/Line.h"
#include "Kestrix/model/Position.h"
#include "Kestrix/model/WritingModes.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kestrix {

class CellWriter;
class GraphemeBreaker;
class LinkPattern;
class TaskQueue;
class TerminalDelegate;

// The terminal emulator without a view: screen buffers, modes, character sets, colours, titles and
// the parser. It reports to its host through a TerminalDelegate that it does not own.
//
// The class is implemented across the Terminal*.cpp files of this folder, one per group of members
// below; each file's name says its concern.
// The control-function handlers are virtual so a host or a test can observe or replace them.
class Terminal : public WritingModes {
public:
    enum class MouseMode { off, x10, vt200, buttonEventTracking, anyEvent };
    enum class MouseProtocolEncoding { x10, utf8, sgr, urxvt, sgrPixel };
    enum class TerminalConformance { vt100, vt200, vt300, vt400, vt500 };
    enum class BufferKind { active, normal, alt };

    // The UTF-8 carry-over of the print path: the start of a sequence that a print run cut off.
    struct ReadingBuffer {
        std::array<uint8_t, 4> putbackBuffer{};
        uint8_t putbackCount = 0;
        // Continuation bytes still owed to an invalid sequence that ended a run: they are dropped
        // as they would have been within one run.
        uint8_t continuationsToSkip = 0;
    };

    // Cell codes from here up name interned grapheme clusters.
    static constexpr int32_t firstClusterCode = 0x400001;
    // Host output must not grow the cluster table without bound: while this many clusters are held,
    // a new one is stored as its first scalar. Printing frees the clusters no cell refers to any
    // more when the table is full, so that happens only while this many are on the screens and in
    // the scrollback at once.
    static constexpr size_t maximumClusterCount = 262144;
    // A cluster keeps at most this many scalars; further joining scalars are dropped.
    static constexpr size_t maximumClusterScalars = 32;
    static constexpr size_t maximumTitleLength = 4096;

    // `taskQueue` runs the synchronized-output time-out; without one that mode never times out.
    Terminal(TerminalDelegate *delegate, TerminalOptions options, TaskQueue *taskQueue = nullptr);
    virtual ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // --- Host and diagnostics --------------------------------------------------------------------

    TerminalDelegate *delegate() const { return tdel_; }
    // The owner clears it before the delegate goes away.
    void setDelegate(TerminalDelegate *delegate) { tdel_ = delegate; }
    void setTaskQueue(TaskQueue *taskQueue) { taskQueue_ = taskQueue; }
    EscapeSequenceParser &parser() { return *parser_; }

    // Writes "Info: " and the message to standard output unless silentLog is on.
    void logInfo(std::string_view message) const;
    // A byte list as decimals in brackets: [27, 91].
    static std::string describeBytes(ByteSpan bytes);
    static std::string describeParameters(ParameterSpan pars);

    // --- State and lifecycle ---------------------------------------------------------------------

    // Re-applies the options (size, line-feed mode) and resets modes; with `clearBuffers` the normal
    // buffer is made anew and becomes active.
    void resetState(bool clearBuffers);
    void makeBuffers();
    void resizeBuffers(int64_t newCols, int64_t newRows);
    // Switches to the normal screen; with `clearAlternate` the alternate screen is emptied first.
    void activateNormalScreen(bool clearAlternate);
    void activateAlternateScreen(std::optional<Attribute> fillAttribute);

    void rebuildPalette(bool notify);
    // Ignored unless exactly 16 colours are given.
    void setBasePalette(std::span<const Color> colors);
    Ansi256PaletteStrategy paletteStrategy() const { return options.ansi256PaletteStrategy; }
    void setPaletteStrategy(Ansi256PaletteStrategy strategy);

    // The colour properties notify the delegate on every store; a store made from inside the
    // delegate's own notice does not notify again.
    const Color &foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(Color color);
    const Color &backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(Color color);
    const std::optional<Color> &cursorColor() const { return cursorColor_; }
    void setCursorColor(std::optional<Color> color);
    MouseMode mouseMode() const { return mouseMode_; }
    void setMouseMode(MouseMode mode);

    void setFocused(bool focused);
    void sendFocusReport();

    // --- Replies to the host ---------------------------------------------------------------------

    // One piece of a reply: bytes, text (sent as its UTF-8 bytes) or a single byte. It only refers
    // to the bytes it was made from, so it lives no longer than the call it is passed to.
    class ReplyItem {
    public:
        ReplyItem(ByteSpan bytes)
            : bytes_(bytes)
        {
        }
        ReplyItem(const std::vector<uint8_t> &bytes)
            : bytes_(bytes)
        {
        }
        ReplyItem(std::string_view text)
            : bytes_(reinterpret_cast<const uint8_t *>(text.data()), text.size())
        {
        }
        ReplyItem(const std::string &text)
            : ReplyItem(std::string_view(text))
        {
        }
        ReplyItem(const char *text)
            : ReplyItem(std::string_view(text))
        {
        }
        ReplyItem(uint8_t byte)
            : byte_(byte)
            , isByte_(true)
        {
        }

        void appendTo(std::vector<uint8_t> &reply) const;

    private:
        ByteSpan bytes_;
        uint8_t byte_ = 0;
        bool isByte_ = false;
    };

    // Sends the items, concatenated, to the host in one call; nothing without a delegate.
    void sendReply(std::initializer_list<ReplyItem> items);
    void sendReply(std::string_view text);
    // The introducers and the terminator of replies: 7-bit (ESC and a letter) or the single C1
    // bytes, as cc.send8bit says.
    std::string_view csi() const { return cc.send8bit ? "\x9b" : "\x1b["; }
    std::string_view dcs() const { return cc.send8bit ? "\x90" : "\x1bP"; }
    std::string_view osc() const { return cc.send8bit ? "\x9d" : "\x1b]"; }
    std::string_view st() const { return cc.send8bit ? "\x9c" : "\x1b\\"; }

    // Title pushes beyond this many entries drop the oldest one.
    static constexpr size_t maximumTitleStackDepth = 100;

    // --- Modes -----------------------------------------------------------------------------------

    // One parameter of CSI h / CSI l: an ANSI mode without intermediates, a DEC private mode with "?".
    void setModes(int64_t mode, ByteSpan collect);
    void resetModes(int64_t mode, ByteSpan collect);
    // DECRQM: reports the state of the mode named by the first parameter.
    void replyModeState(ParameterSpan pars, bool decPrivate);
    // DECSTR.
    virtual void cmdSoftReset();
    void performSoftReset() { cmdSoftReset(); }
    // DECSCL: the conformance level and, with a second parameter, 7-bit or 8-bit replies.
    virtual void cmdSetConformanceLevel(ParameterSpan pars, ByteSpan collect);
    // Tells the delegate only when the style changes.
    void applyCursorStyle(CursorStyle style);

    // --- Keyboard modes --------------------------------------------------------------------------

    // The keyboard-enhancement flags of one screen and the sets saved by pushes, newest last.
    struct KeyboardModeState {
        KittyKeyboardFlags flags;
        std::vector<KittyKeyboardFlags> stack;

        bool operator==(const KeyboardModeState &) const = default;
    };
    static constexpr size_t maximumKeyboardModeStackDepth = 16;

    // The flags of the active screen: what the key encoder follows.
    KittyKeyboardFlags currentKeyboardFlags() const;

    // --- Mouse reports ---------------------------------------------------------------------------
    // Positions are 0-based cells of the visible screen.

    // The button code of a press or release; modifiers count only in the tracking modes above x10.
    int64_t mouseButtonFlags(int64_t button, bool release, bool shift, bool meta, bool control) const;
    // A report whose pixel position is the cell position.
    void sendMouseButton(int64_t flags, int64_t x, int64_t y);
    // `flags` without the motion bit; it is added here.
    void sendMouseMotion(int64_t flags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY);
    void encodeAndSendMouse(int64_t flags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY);
    // The release of the button whose press code (with modifier bits) is `pressFlags`: the SGR forms
    // carry that code with their release final, the others the release code 3.
    void sendMouseRelease(int64_t pressFlags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY);
    // One value in the UTF-8 mouse form: values above 2047 are sent as 2047.
    static void encodeMouseUtf(std::vector<uint8_t> &data, int64_t ch);

    // --- Cell codes of grapheme clusters ---------------------------------------------------------

    // The code a cell stores for a cluster given as UTF-8. A cluster code stays valid while a cell
    // holds it: printing may free the code of a cluster that no cell refers to and give it to
    // another cluster.
    int32_t cellCode(std::string_view cluster);
    // The text of a cell code; " " for a code that is neither a scalar nor an interned cluster.
    std::string stringForCellCode(int32_t code) const;
    size_t internedClusterCount() const { return clusters_.size(); }
    // One past the highest cluster code handed out so far.
    int32_t lastCharIndex() const { return firstClusterCode + static_cast<int32_t>(clusters_.indexLimit()); }
    // How many clusters are held at once (maximumClusterCount unless changed).
    void setMaximumClusterCount(size_t count) { clusters_.setCapacity(count); }

    // --- Reading ---------------------------------------------------------------------------------

    std::pair<int64_t, int64_t> screenSize() const { return {cols, rows}; }
    // The line at a viewport row; nothing outside the screen.
    const BufferLine *screenLine(int64_t row);
    // The line at an absolute row counted from the buffer's top line; nothing outside it.
    const BufferLine *scrollInvariantLine(int64_t row);
    // The cell at a viewport position; nothing outside the screen.
    std::optional<CharData> cellAt(int64_t col, int64_t row);
    std::optional<std::string> characterAt(int64_t col, int64_t row);
    bool isAlternateBufferActive() const { return buffer == altBuffer.get(); }
    // The colours of curAttr and no style: what erasing leaves.
    Attribute blankAttribute() const;
    // Default foreground, the background of curAttr, no style: what scrolling leaves.
    Attribute eraseAttr() const
    {
        Attribute attribute;
        attribute.bg = curAttr.bg;
        return attribute;
    }
    // An empty cell of eraseAttr(): what erasing, inserting and deleting cells and lines leave.
    CharData eraseCell() const;
    std::pair<int64_t, int64_t> cursorPosition() const { return {buffer->x(), buffer->y()}; }
    CircularBufferLineList &currentBufferLines() { return buffer->lines(); }

    // --- Text extraction -------------------------------------------------------------------------

    // Encodings the whole-buffer text can be written in.
    enum class TextEncoding { utf8, ascii };

    // The logical lines between two buffer positions (start not after end): a fragment per row
    // and a line break where a row is not wrapped into the next. Blank rows at the end of the
    // range give nothing; the end column is exclusive.
    std::vector<Line> getSelectedLines(Position p1, Position p2, Buffer &buffer);
    // The text between two positions of the active buffer, in either order.
    std::string getDisplayText(Position start, Position end);
    // Every line of a buffer as text with a line feed after each; a line that the encoding cannot
    // carry is left out.
    std::vector<uint8_t> bufferTextData(BufferKind kind, TextEncoding encoding = TextEncoding::utf8);
    // Columns start..end-1 of an active-buffer row (`end` -1: the whole row), trailing empty cells
    // dropped and empty cells inside read as blanks.
    std::string lineSegmentText(int64_t row, int64_t start, int64_t end);

    // --- Link detection --------------------------------------------------------------------------
    // An explicit link is one the host marked with OSC 8; an implicit one is a URL or path that the
    // link pattern finds in the logical line around the cell (rows flagged as wrapped, or rows that
    // only look soft-wrapped). Every lookup is bounded: see LinkPattern.

    using LinkMatch = kestrix::LinkMatch;
    using LinkLookupLocation = kestrix::LinkLookupLocation;
    using LinkLookupMode = kestrix::LinkLookupMode;
    using LumethImplicitCellRef = kestrix::LumethImplicitCellRef;

    // The text of a logical line in UTF-16 with the cell of every character (`cells`) and the
    // character of every UTF-16 unit (`cellOfUnit`, an index into `cells`); `col` is the looked-up
    // column, moved onto the left half of a wide character.
    struct LogicalLineText {
        std::u16string text;
        std::vector<LumethImplicitCellRef> cells;
        std::vector<int32_t> cellOfUnit;
        int64_t row = 0;
        int64_t col = 0;
    };
    // The first and last non-blank cells of a row, with their codes (a right half stands for its
    // wide character).
    struct RowTextInfo {
        int64_t firstCol = 0;
        int32_t firstCode = 0;
        int64_t lastCol = 0;
        int32_t lastCode = 0;
    };
    // A logical line is looked at no further than this many rows above and below the cell.
    static constexpr int64_t maximumLinkLineRows = 16;
    // The cells on each side of a row boundary that the soft-wrap test reads.
    static constexpr int64_t softWrapWindowCells = 96;

    // The link at a cell of the active buffer: the explicit one, else (in explicitAndImplicit) the
    // implicit one.
    std::optional<LinkMatch> linkMatch(LinkLookupLocation at, LinkLookupMode mode);
    // The location in buffer coordinates, clamped to the buffer; nothing for a buffer without lines.
    std::optional<Position> bufferPosition(LinkLookupLocation location, Buffer &in);
    std::optional<LinkMatch> explicitLinkMatch(Position at, Buffer &in);
    std::optional<LinkMatch> implicitLinkMatch(Position at, Buffer &in);
    std::optional<LinkMatch> implicitLinkMatch(Position at, Buffer &in, LinkPattern &pattern);
    // The payload atom of a cell (of its left half for the right half of a wide character).
    std::optional<uint16_t> linkAtom(int64_t col, int64_t row, Buffer &in);
    std::optional<LogicalLineText> logicalLineText(int64_t col, int64_t row, Buffer &in, LinkPattern &pattern);
    // Whether `row` continues the row above within a logical line that starts at `firstRow`.
    bool isWrappedSpan(int64_t row, int64_t firstRow, Buffer &in, LinkPattern &pattern);
    // The first and last row of a run of rows that look soft-wrapped; nothing when none.
    std::optional<std::pair<int64_t, int64_t>> logicalLineRows(int64_t row, Buffer &in, LinkPattern &pattern);
    bool looksSoftWrapped(int64_t upperRow, int64_t lowerRow, Buffer &in, LinkPattern &pattern);
    std::optional<RowTextInfo> rowTextInfo(int64_t row, Buffer &in);
    // Whether a pattern match crosses the boundary between the two rows.
    bool linkCandidates(int64_t upperRow, int64_t lowerRow, int64_t upperLastCol, int64_t lowerFirstCol,
                        Buffer &in, LinkPattern &pattern);
    // Columns start..end-1 of a line in UTF-16, right halves skipped, empty cells as blanks.
    std::u16string cellsText(const BufferLine &line, int64_t start, int64_t end) const;

    // --- Feeding, dirty rows and scrolling -------------------------------------------------------

    void feedBytes(ByteSpan bytes);
    void feedString(std::string_view text);

    void markRowDirty(int64_t row, bool scrolling = false);
    // Inline: the print path marks its row before and after every run. A row mostly lies within
    // the ranges already, so they are only written when they grow.
    void markRowDirty(int64_t row, const Buffer &onBuffer, bool scrolling)
    {
        if (!scrolling) {
            const int64_t invariantRow = row + onBuffer.yDisp();
            if (invariantRow >= 0) {
                extendRange(scrollInvariantRefreshStart, scrollInvariantRefreshEnd, invariantRow);
            }
        }
        if (row >= 0) {
            extendRange(refreshStart, refreshEnd, row);
        }
    }
    void markRowsDirty(int64_t first, int64_t second);
    void markAllRowsDirty();
    // Screen rows, inclusive; nothing when clean. A view resets the ranges after drawing.
    std::optional<std::pair<int64_t, int64_t>> dirtyRowRange() const;
    std::optional<std::pair<int64_t, int64_t>> dirtyScrollInvariantRowRange() const;
    void resetDirtyRows();

    // Scrolls the region up one line; `wrapped` marks the new bottom line as a continuation.
    void scroll(bool wrapped);
    void notifyLineFeed();
    // The full reset a host asks for; ESC c also resets the parser.
    void hardReset();
    void resizeScreen(int64_t newCols, int64_t newRows);
    // Nothing means no scrollback at all.
    void setScrollbackLines(std::optional<int64_t> lines);
    void makeCursorVisible();
    void makeCursorHidden();
    // Called by the mode handler each time mode 2026 is set: (re)arms the one-second time-out.
    void beginSynchronizedOutput();
    void endSynchronizedOutput();
    // Drops the payload atoms that no cell of any live terminal refers to any more.
    void pruneUnusedAtoms();

    // --- Printing and C0 controls ----------------------------------------------------------------

    // `asciiLength`, when not 0, is the length of the printable ASCII that starts `bytes`, as the
    // parser found it while scanning the run.
    // `following`: the bytes the host sent after the run, at hand in the same read. They are only
    // looked at to fetch early what printing them will need.
    void handlePrint(ByteSpan bytes, size_t asciiLength = 0, ByteSpan following = {});
    // Inline: the parser calls it for every control sequence.
    void printStateReset()
    {
        readingBuffer.putbackCount = 0;
        readingBuffer.continuationsToSkip = 0;
    }
    // Forgets the cell printed last: once anything but printing has moved the cursor or changed
    // the screen, a joining character takes a cell of its own instead of joining a cell elsewhere.
    // Inline: the parser calls it for line feeds, returns and most control sequences.
    void forgetLastPrintedCell()
    {
        normalBuffer->lastBufferStorage.y = -1;
        altBuffer->lastBufferStorage.y = -1;
    }
    virtual void bell();
    virtual void cmdBackspace();
    virtual void cmdHorizontalTab();
    virtual void cmdLineFeed();
    virtual void cmdCarriageReturn();
    // HTS and ESC H: a tab stop at the cursor column.
    virtual void cmdSetTabStop();
    // NEL and ESC E: to the left edge, then index.
    virtual void cmdNextLine();

    // --- Index, resets, character sets, titles ---------------------------------------------------

    virtual void cmdIndex();
    virtual void reverseIndex();
    virtual void cmdBackIndex();
    virtual void cmdForwardIndex();
    virtual void cmdFullReset();
    virtual void setGLevel(uint8_t level);
    virtual void designateCharset(uint8_t slot, std::optional<CharSetMap> map);
    virtual void selectCharset(uint8_t intermediate, uint8_t designator);
    virtual void updateTitle(std::string title);
    virtual void updateIconTitle(std::string title);

    // --- Inline graphics hooks -------------------------------------------------------------------

    // The DCS strings the terminal interprets; nothing means the string is swallowed.
    virtual std::unique_ptr<DcsHandler> makeSixelDcsHandler();
    virtual std::unique_ptr<DcsHandler> makeDecrqssHandler();
    void clearKittyGraphics();
    void syncKittyPlacementsAfterScroll();
    void dropOrphanedKittyPlacements(Buffer &screen);

    // --- Kitty graphics intake, replies and image store ------------------------------------------

    // One graphics command: the bytes of an APC string after its leading "G". Failures become error
    // replies, never exceptions.
    virtual void handleKittyGraphicsCommand(ByteSpan data);
    // Runs one complete command by its action; `payload` is the whole decoded payload, empty when its
    // base64 text was malformed.
    void dispatchKittyGraphicsAction(const KittyGraphicsControl &control, ByteSpan payload);
    // Replies are silenced by any non-zero "q" of the command.
    void sendKittyGraphicsError(const KittyGraphicsControl &control, std::string_view message);
    void sendKittyGraphicsOk(const KittyGraphicsControl &control, std::optional<uint32_t> imageId,
                             std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId);
    // Actions "t" (display false) and "T" (display true).
    void transmitKittyImage(const KittyGraphicsControl &control, ByteSpan payload, bool display);
    void storeKittyImage(const KittyGraphicsControl &control, KittyGraphicsPayload image, bool display);
    // Stores under `id` (replacing what held it), remembers the number, then evicts.
    void insertKittyImage(KittyGraphicsPayload payload, uint32_t id, std::optional<uint32_t> number);
    // The stored image, refreshed as recently used; nothing when absent. Valid until the store
    // changes.
    const KittyGraphicsImage *lookupKittyImage(uint32_t id);
    // Keeps the stored bytes within options.kittyImageCacheLimitBytes, unused and oldest first.
    void evictKittyImages();
    // Ids that an image cell of either screen or a placement record uses.
    std::unordered_set<uint32_t> referencedKittyImageIds();
    // Drops one image and the numbers that name it; its cells and placements stay.
    void removeKittyImage(uint32_t id);

    // --- Kitty placements ------------------------------------------------------------------------

    // Where each placement's stripes sit in a buffer: the first line holding one, and its column.
    using KittyPlacementPositions = std::unordered_map<KittyPlacementKey, Position>;
    // Positions resolved so far through parent chains; nothing for a placement that cannot be placed.
    using KittyPlacementMemo = std::unordered_map<KittyPlacementKey, std::optional<Position>>;
    // Where a relative placement goes (row as a line index), or the error text that refuses it. With
    // neither, the placement has no parent.
    struct KittyParentResolution {
        std::optional<Position> position;
        std::string_view error;
    };

    // Action "p".
    void putKittyImage(const KittyGraphicsControl &control);
    // Shows one image with the control's placement keys; false (after its error reply) on failure.
    bool placeKittyImage(const KittyGraphicsPayload &image, const KittyGraphicsControl &control,
                         std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber);
    KittyParentResolution resolveKittyParent(const KittyGraphicsControl &control);
    // A placement's position on the active screen through its chain of parents.
    std::optional<Position> resolveKittyPlacementPosition(KittyPlacementKey key,
                                                          const KittyPlacementPositions &positions,
                                                          KittyPlacementMemo &memo);
    KittyPlacementPositions kittyPlacementPositions(Buffer &screen);
    // Removes the placement with this key, stripes and record, before a new one takes the key.
    void replaceKittyPlacement(uint32_t imageId, uint32_t placementId);

    // --- Kitty deletion --------------------------------------------------------------------------
    // Columns are 0-based, rows line indexes of a buffer. Every worker removes the matching stripes
    // and records, then every stripe and record of a placement it touched.

    // Actions "d" and "D".
    void deleteKittyPlacements(const KittyGraphicsControl &control);
    // Those visible on the active screen.
    void deleteAllKittyPlacements();
    void deleteKittyPlacementsById(uint32_t imageId, std::optional<uint32_t> placementId);
    void deleteKittyPlacementsAtCell(int64_t col, int64_t row, int64_t zIndex, bool anyZIndex);
    void deleteKittyPlacementsInColumn(int64_t col);
    void deleteKittyPlacementsInRow(int64_t row);
    void deleteKittyPlacementsByZIndex(int64_t zIndex);
    void deleteKittyPlacementsByIdRange(uint32_t low, uint32_t high);
    // The stripes of these placements, from every line of both screens.
    void removeKittyPlacementImages(const std::unordered_set<KittyPlacementKey> &keys);
    // Frees the stored images that no stripe and no record uses.
    void pruneUnreferencedKittyImages();
    // Everything Kitty shows on `screen` and every placement made on it.
    void discardKittyScreenGraphics(Buffer &screen, bool isAlternate);

    // --- Handlers of the control functions built elsewhere ---------------------------------------
    // Each takes the parameters and the intermediate bytes of its sequence.

    virtual void cmdInsertChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorUp(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorDown(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorForward(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorBackward(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorNextLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorPrecedingLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorCharAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorPosition(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorForwardTab(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseInDisplay(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseInLine(ParameterSpan pars, ByteSpan collect);
    virtual void cmdInsertLines(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteLines(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdScrollUp(ParameterSpan pars, ByteSpan collect);
    virtual void cmdScrollDown(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseChars(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCursorBackwardTab(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCharPosAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdHPositionRelative(ParameterSpan pars, ByteSpan collect);
    virtual void cmdRepeatPrecedingCharacter(ParameterSpan pars, ByteSpan collect);
    virtual void cmdLinePosAbsolute(ParameterSpan pars, ByteSpan collect);
    virtual void cmdVPositionRelative(ParameterSpan pars, ByteSpan collect);
    virtual void cmdHVPosition(ParameterSpan pars, ByteSpan collect);
    virtual void cmdTabClear(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeviceAttributes(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetMode(ParameterSpan pars, ByteSpan collect);
    virtual void cmdResetMode(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSGR(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeviceStatusReport(ParameterSpan pars, ByteSpan collect);
    virtual void csip(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSelectCursorStyle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetTopBottomMargins(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSetLeftRightMargins(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSaveCursor(ParameterSpan pars, ByteSpan collect);
    virtual void cmdRestoreCursor(ParameterSpan pars, ByteSpan collect);
    virtual void cmdWindowManipulation(ParameterSpan pars, ByteSpan collect);
    virtual void cmdCopyRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdFillRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDECRQCRA(ParameterSpan pars, ByteSpan collect);
    virtual void cmdEraseRectangleOrLocator(ParameterSpan pars, ByteSpan collect);
    virtual void cmdSelectiveEraseRectangle(ParameterSpan pars, ByteSpan collect);
    virtual void cmdInsertColumns(ParameterSpan pars, ByteSpan collect);
    virtual void cmdDeleteColumns(ParameterSpan pars, ByteSpan collect);
    // CSI u of the keyboard protocol; false when the sequence is not one of its requests.
    virtual bool kittyKeyboardCsiU(ParameterSpan pars, ByteSpan collect);

    virtual void cmdScreenAlignmentTest();
    virtual void setLineRenderMode(BufferLine::RenderLineMode mode);
    // Cursor left by n columns (counted from the last column while a wrap is pending), stopping at
    // the left margin (at column 0 when the cursor is already left of the margin).
    virtual void moveCursorLeft(int64_t n);
    // Cursor right by n columns, stopping at the right margin (at the last column when the cursor is
    // already right of the margin).
    virtual void moveCursorRight(int64_t n);
    // Keeps the cursor on the screen (inside the scroll region in origin mode); the column may stay
    // one past the last when `limitToLastColumn` is false. Marks the cursor row dirty.
    void clampCursor(bool limitToLastColumn);
    // To a screen position, taken relative to the scroll region and margins in origin mode, then
    // clamped; marks the rows it leaves and reaches dirty.
    void moveCursorTo(int64_t col, int64_t row);
    // Origin mode with left/right margins: columns count from the left margin.
    bool usingMargins() const { return originMode && marginMode; }
    // Every cell of a screen row becomes the erase cell and the row no longer continues the one
    // above; with `clearImages` its images go too. Marks the row dirty.
    void eraseWholeLine(int64_t row, bool clearImages);

    // --- Operating-system commands ---------------------------------------------------------------

    // A hyperlink's parameters and URI together; a longer link is ignored.
    static constexpr size_t maximumHyperlinkPayloadLength = 8192;
    // The arguments of an OSC 1337 File= command.
    using FileArguments = std::unordered_map<std::string, std::string>;

    virtual void oscChangeOrQueryColorIndex(ByteSpan data);
    virtual void oscCurrentDocument(ByteSpan data);
    virtual void oscCurrentDirectory(ByteSpan data);
    virtual void oscHyperlink(ByteSpan data);
    // code: 0 foreground (OSC 10), 1 background (OSC 11), 2 cursor (OSC 12).
    virtual void oscDynamicColor(ByteSpan data, int64_t code);
    virtual void oscClipboard(ByteSpan data);
    virtual void oscResetColors(ByteSpan data);
    virtual void oscDesktopNotification(ByteSpan data);
    virtual void oscExtendedCommand(ByteSpan data);
    // OSC 9 data as a progress report, or nothing when it is not one.
    static std::optional<ProgressReport> parseProgressReport(ByteSpan data);
    // Every palette entry back to its default; the delegate hears of the whole table once.
    void resetPaletteToDefaults();
    static FileArguments parseFileArguments(ByteSpan data);
    static ImageSizeRequest parseImageSize(const FileArguments &arguments, std::string_view key);

    // --- Status strings and the child environment ------------------------------------------------

    // The handler of DECRQSS (DCS $ q ... ST).
    class DECRQSS;
    // The environment of a child the engine starts on a pseudo-terminal: the terminal type, colour
    // support, the locale, and a few variables of this process.
    static std::vector<std::string> childEnvironment(std::optional<std::string> termName, bool trueColor);

    // --- State -----------------------------------------------------------------------------------

    static constexpr int64_t MINIMUM_COLS = 2;
    static constexpr int64_t MINIMUM_ROWS = 1;
    static constexpr double synchronizedOutputTimeoutSeconds = 1.0;

    int64_t cols = 80;
    int64_t rows = 25;
    int64_t tabStopWidth = 8;
    TerminalOptions options;
    std::unique_ptr<Buffer> normalBuffer;
    std::unique_ptr<Buffer> altBuffer;
    // The active buffer: one of the two above.
    Buffer *buffer = nullptr;
    bool synchronizedOutputActive = false;
    bool applicationKeypad = false;
    bool applicationCursor = false;
    bool sendFocus = false;
    bool cursorHidden = false;
    bool originMode = false;
    // insertMode, marginMode and wraparound come from WritingModes: both buffers read them there.
    bool bracketedPasteMode = false;
    // Mode 1048: set by the save it makes, reset by the restore.
    bool saveCursorMode = false;
    std::optional<CharSetMap> charset;
    std::array<std::optional<CharSetMap>, 4> gCharsets;
    int64_t gcharset = 0;
    bool reverseWraparound = false;
    Attribute curAttr;
    uint8_t gLevel = 0;
    bool cursorBlink = false;
    bool allow80To132 = true;
    int64_t refreshStart = INT64_MAX;
    int64_t refreshEnd = -1;
    int64_t scrollInvariantRefreshStart = INT64_MAX;
    int64_t scrollInvariantRefreshEnd = -1;
    bool userScrolling = false;
    bool lineFeedMode = false;
    bool smoothScroll = false;
    std::vector<Color> installedColors;
    std::vector<Color> defaultAnsiColors;
    std::vector<Color> ansiColors;
    CC cc;
    std::optional<std::string> hostCurrentDirectory;
    std::optional<std::string> hostCurrentDocument;
    MouseProtocolEncoding mouseProtocol = MouseProtocolEncoding::x10;
    bool reportedFocusState = true;
    bool mouseShiftCapture = false;
    bool xtermTitleSetUtf = false;
    bool xtermTitleSetHex = false;
    bool xtermTitleQueryUtf = false;
    bool xtermTitleQueryHex = false;
    TerminalConformance conformance = TerminalConformance::vt500;
    ReadingBuffer readingBuffer;
    int64_t lastBufferCol = 0;
    std::optional<std::pair<Position, std::string>> hyperLinkTracking;
    bool silentLog = true;
    std::unique_ptr<BufferLine> blankLine;
    std::string terminalTitle;
    std::string iconTitle;
    std::vector<std::string> terminalTitleStack;
    std::vector<std::string> terminalIconStack;
    KeyboardModeState keyboardModeNormal;
    KeyboardModeState keyboardModeAlt;
    KittyGraphicsState kittyGraphicsState;
    // Present only while a Kitty placement hands its image to the view.
    std::optional<KittyPlacementContext> kittyPlacementContext;

private:
    static void extendRange(int64_t &start, int64_t &end, int64_t row)
    {
        if (row < start) {
            start = row;
        }
        if (row > end) {
            end = row;
        }
    }

    enum class KittySearchedLines { visibleScreen, activeBuffer, bothBuffers };

    // Kitty placements and deletion.
    bool placeVirtualKittyImage(const KittyGraphicsControl &control, std::optional<uint32_t> imageId);
    bool placeRealKittyImage(const KittyGraphicsPayload &image, const KittyGraphicsControl &control,
                             std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber);
    // "X" and "Y" kept inside the first cell.
    std::pair<int64_t, int64_t> clampedKittyPixelOffsets(const KittyGraphicsControl &control);
    // `noted` is where the image went, its row a line index.
    void moveCursorPastKittyImage(const KittyGraphicsPayload &image, const KittyPlacementContext &context,
                                  Position noted);
    // The screen rows of lines firstLine...lastLine of `screen`, when it is the active one.
    void markKittyLinesDirty(const Buffer &screen, int64_t firstLine, int64_t lastLine);
    template <class ImageMatches, class RecordMatches>
    void deleteMatchingKittyPlacements(KittySearchedLines searched, ImageMatches imageMatches,
                                       RecordMatches recordMatches);
    // Removes the stripes and records of these placements.
    void forgetKittyPlacements(const std::unordered_set<KittyPlacementKey> &keys);

    // A rectangle of screen cells, 0-based and inclusive.
    struct CellRectangle {
        int64_t top = 0;
        int64_t left = 0;
        int64_t bottom = 0;
        int64_t right = 0;
    };

    void configureParser();
    void installScrollCallback(Buffer &target);
    // The print path, one scalar at a time.
    void printRunInPieces(ByteSpan bytes, size_t asciiLength, ByteSpan following);
    size_t printUnicodeRun(ByteSpan bytes, size_t i, ByteSpan following);
    void noteInvalidSequenceAtEnd(uint8_t lead, size_t taken, size_t available);
    std::optional<size_t> finishCarriedSequence(ByteSpan bytes);
    void printByte(uint8_t byte);
    void printScalar(uint32_t scalar, int width);
    bool shouldOfferToPreviousCell(uint32_t scalar, int width);
    bool cellEndsWithJoiner(int32_t code) const;
    bool cellIsRegionalIndicator(int32_t code) const;
    bool lastCellEndsWithJoiner();
    bool joinWithPreviousCell(uint32_t scalar, int width);
    struct ClusterJoin;
    ClusterJoin clusterJoin(int32_t code, uint32_t scalar);
    ClusterJoin computeClusterJoin(int32_t code, uint32_t scalar);
    ClusterJoin joinPlainMarks(int32_t code, uint32_t firstMark, ByteSpan marks);
    size_t joinEmojiSequence(ByteSpan bytes, size_t start, size_t i, CharData &cell);
    struct EmojiSequence;
    EmojiSequence &emojiSequenceSlot(const char *text, size_t length);
    int32_t knownEmojiSequenceCode(ByteSpan bytes, size_t start, size_t end);
    void rememberEmojiSequence(ByteSpan bytes, size_t start, size_t end, int32_t code);
    struct EmojiCluster;
    EmojiCluster &emojiClusterSlot(const uint8_t *text);
    void rememberEmojiCluster(const uint8_t *text, size_t length, int32_t code, int width, bool flag);
    const EmojiCluster *knownEmojiCluster(const uint8_t *at, bool wideFlags);
    size_t putEmojiClusters(CellWriter &out, ByteSpan bytes, size_t readablePast, size_t i, bool wideFlags,
                            size_t &lastStart, size_t &lastSingleEnd);
    void widenJoinedCell(CharData &cell, BufferLine &line, int64_t col);
    void putCell(int32_t code, int width);
    int32_t cellCodeOfScalar(uint32_t scalar);
    int32_t astralCellCode(uint32_t scalar);
    // cellCode for the print path: when the table is full, it first frees the clusters no cell
    // refers to.
    int32_t printedClusterCode(std::string_view cluster);
    // The same for a cluster of more than one scalar whose ClusterTable::keyOf is known. Inline: it
    // runs for every cluster a print run joins.
    int32_t internedClusterCode(std::string_view cluster, ClusterTable::Key key)
    {
        const uint32_t index = clusters_.internedIndex(cluster, key);
        if (index != ClusterTable::refused) [[likely]] {
            return firstClusterCode + static_cast<int32_t>(index);
        }
        return refusedClusterCode(cluster, key);
    }
    int32_t refusedClusterCode(std::string_view cluster, ClusterTable::Key key);
    void reclaimClusters();
    bool isSingleCluster(std::string_view text);
    bool joinsWithoutBreak(int32_t code, std::string_view text, uint32_t scalar) const;
    // The text of an interned cluster code (" " for any other code), valid until the next cluster
    // is interned.
    std::string_view clusterText(int32_t code) const;
    // Appends what stringForCellCode gives, without a string of its own.
    void appendCellText(std::string &text, int32_t code) const;
    // Appends the text of columns start..end-1 of a line (`end` -1: all of it) up to its last
    // written cell, empty cells as blanks and each wide character once; returns the characters added.
    int64_t appendSegmentText(std::string &text, const BufferLine &line, int64_t start, int64_t end) const;
    void prepareBlankLine(bool wrapped);
    void scrollTopLineIntoScrollback(int64_t bottomRow, bool wrapped);
    void scrollPartialWidth(int64_t topRow, int64_t bottomRow);
    void shiftMarginColumns(int64_t row, std::optional<int64_t> sourceRow);
    void finishScroll();
    void shiftColumns(bool right);
    // Cursor movement and editing.
    void eraseScrollback();
    void shiftRows(int64_t first, int64_t last, int64_t shift, const CharData &blank);
    bool cursorInsideMargins() const;
    void markLineEditDirty();
    void resetKeepingSize();
    // Modes, reports, keyboard modes and rectangles.
    void setDecPrivateMode(int64_t mode, bool on);
    void switchScreen(int64_t mode, bool alternate);
    void switchColumns(int64_t newCols);
    void beginSynchronizedOutputMode();
    int decPrivateModeState(int64_t mode) const;
    int ansiModeState(int64_t mode) const;
    void pushTitles(bool title, bool icon);
    void popTitles(bool title, bool icon);
    void windowReport(const WindowManipulationCommand &command, ParameterSpan pars);
    KeyboardModeState &currentKeyboardMode();
    // Top, left, bottom and right as a host gives them (1-based, each possibly absent), under origin
    // mode relative to the region and margins; nothing for an empty rectangle.
    std::optional<CellRectangle> getRectangleFromRequest(ParameterSpan pars) const;
    uint32_t rectangleChecksum(const CellRectangle &rectangle);
    void fillRectangle(const CellRectangle &rectangle, const CharData &cell);
    void endSynchronizedOutputFromTimeout(uint64_t generation);
    // An OSC reply: the introducer, the text, the string terminator.
    void sendOscReply(std::string_view text);
    // One mouse report: `flags` for the older encodings, `sgrCode` and the final for the SGR forms.
    void sendMouseEvent(int64_t flags, int64_t sgrCode, bool isRelease, int64_t x, int64_t y, int64_t pixelX,
                        int64_t pixelY);
    void applyHyperlink(const Position &start, TinyAtom atom);
    std::optional<int64_t> hyperlinkStartRow(int64_t recordedRow) const;

    TerminalDelegate *tdel_ = nullptr;
    TaskQueue *taskQueue_ = nullptr;
    std::unique_ptr<EscapeSequenceParser> parser_;
    std::unique_ptr<GraphemeBreaker> graphemeBreaker_;
    Color foregroundColor_;
    Color backgroundColor_;
    std::optional<Color> cursorColor_;
    MouseMode mouseMode_ = MouseMode::off;
    bool settingFgColor_ = false;
    bool settingBgColor_ = false;
    bool settingCursorColor_ = false;
    // Cluster codes are firstClusterCode + the table's index.
    ClusterTable clusters_{maximumClusterCount};
    std::string joinBuffer_;
    struct AstralCode {
        uint32_t scalar = 0;
        int32_t code = 0;
    };
    std::array<AstralCode, 256> astralCodes_{};
    // The result of joining a scalar to a cell of a given code.
    struct ClusterJoin {
        enum class Outcome : uint8_t {
            unknown,
            // The scalar starts a cell of its own.
            breaks,
            // The cell holds as many scalars as a cluster may.
            clusterFull,
            // A variation selector after something that has no variations: dropped.
            selectsNothing,
            // The cell's code becomes `code`.
            joins,
        };
        int32_t previousCode = 0;
        uint32_t scalar = 0;
        int32_t code = 0;
        Outcome outcome = Outcome::unknown;
    };
    std::array<ClusterJoin, 4096> clusterJoins_{};
    // The code of an emoji sequence (a pictograph with zero-width joiners, pictographs and skin
    // tones after it) by its UTF-8 bytes.
    struct EmojiSequence {
        static constexpr size_t longest = 27;
        uint8_t length = 0;
        std::array<char, longest> bytes{};
        int32_t code = 0;
    };
    std::array<EmojiSequence, 64> emojiSequences_{};
    // The cell last written for an emoji cluster (a single emoji, a sequence or a flag) by the bytes
    // of its first scalar: the whole cluster's bytes and a mask of them, so that it is told from the
    // bytes at hand with a few word compares and no branch on its kind.
    struct EmojiCluster {
        std::array<uint64_t, 4> bytes{};
        std::array<uint64_t, 4> mask{};
        int32_t code = 0;
        uint8_t length = 0;
        int8_t width = 0;
        bool flag = false;
    };
    std::array<EmojiCluster, 64> emojiClusters_{};
    // Each arming of the synchronized-output time-out gets a new generation; an older one that
    // fires does nothing. The token tells a queued time-out whether the terminal still exists.
    uint64_t synchronizedOutputGeneration_ = 0;
    std::shared_ptr<bool> lifetime_ = std::make_shared<bool>(true);
    // The line and buffer an open hyperlink started in, so its start is found again after the
    // line has moved up (a full ring scrolls without changing yBase).
    uint64_t hyperlinkStartSerial_ = 0;
    const Buffer *hyperlinkBuffer_ = nullptr;
};

} // namespace kestrix
