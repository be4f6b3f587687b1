#pragma once

#include "Kestrix/core/SearchOptions.h"
#include "Kestrix/core/SelectionService.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/rendering/CellTextPainter.h"
#include "Kestrix/rendering/KittyPlaceholderImages.h"
#include "Kestrix/rendering/RowSegments.h"
#include "Kestrix/rendering/SelectedColumns.h"
#include "Kestrix/rendering/TextAttributes.h"
#include "Kestrix/rendering/gpu/MetalDrawData.h"
#include "Kestrix/view/DirtyRegion.h"
#include "Kestrix/view/LinkHighlightMode.h"
#include "Kestrix/view/LinkReporting.h"
#include "Kestrix/view/TerminalKeyboard.h"
#include "Kestrix/view/TerminalScroller.h"
#include "Kestrix/view/TerminalViewEnvironment.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

class QLabel;

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace kestrix {

class AppleImage;
class CaretView;
class MainTaskQueue;
class MetalError;
class MetalTerminalRenderer;
class MetalView;
class SearchService;
class TerminalDebugView;
class TerminalFindBarView;
class TerminalProgressBarView;
class TerminalViewDelegate;

// The widget that shows one Terminal, which it owns and whose delegate it is. It feeds the host's
// output to the terminal, schedules redraws (at once shortly after user input, otherwise coalesced to
// one per frame), sends user input to its host, and resizes the grid with its frame.
//
// Implemented across the TerminalView*.cpp files of this folder, one per group of members below;
// each file's name says its concern.
class TerminalView : public QWidget, public TerminalDelegate {
    Q_OBJECT

public:
    // The four faces text is drawn with.
    struct FontSet {
        QFont normal;
        QFont bold;
        QFont italic;
        QFont boldItalic;

        explicit FontSet(const QFont &font);
    };

    static constexpr uint64_t interactiveInputDisplayWindowNs = 150'000'000;
    // One frame at 60 Hz; the queue counts whole milliseconds, so the wait is rounded up.
    static constexpr std::chrono::milliseconds displayCoalescingDelay{17};
    // While output keeps coming, painting gets at most one part in this many of the time: the wait
    // for the next update grows with the time the last frame took to paint, up to the maximum.
    static constexpr int paintingShareDivisor = 10;
    static constexpr std::chrono::milliseconds maximumDisplayCoalescingDelay{100};
    static constexpr double maximumCellHeight = 8192;
    static constexpr double minimumScrollSensitivity = 0.05;
    static constexpr std::chrono::milliseconds selectionAutoScrollInterval{50};
    // A progress report not refreshed for this long is taken down.
    static constexpr std::chrono::milliseconds progressStaleAfter{15000};

    // The system fixed font at 13 pixels.
    static QFont defaultFont();
    // Non-empty text of which every scalar is printable: none below U+0020 and none of U+007F to
    // U+009F. Text that is not valid UTF-8 is not.
    static bool isPlainPrintableText(std::string_view text);

    // An empty frame means no size is known yet: the terminal starts at 80 x 25 and follows the
    // first resize.
    explicit TerminalView(QWidget *parent = nullptr, const QRect &frame = {}, std::optional<QFont> font = {},
                          TerminalViewEnvironment environment = {});
    ~TerminalView() override;

    // The host, held weakly: the host clears it before it goes away.
    TerminalViewDelegate *terminalDelegate() const { return terminalDelegate_; }
    void setTerminalDelegate(TerminalViewDelegate *delegate) { terminalDelegate_ = delegate; }
    Terminal &getTerminal() { return *terminal_; }

    // --- Host output and display scheduling ------------------------------------------------------

    void feedHostOutput(std::span<const uint8_t> bytes);
    void feedHostOutput(std::string_view text);

    // At most one coalesced update waits at a time.
    void queueDisplayUpdate();
    // The wait before a coalesced update when painting since the last update took `painting`.
    static std::chrono::milliseconds displayCoalescingDelayAfter(std::chrono::nanoseconds painting);
    // Updates at once on the main thread; from another thread it hops there.
    void updateDisplayNow();
    void updateDisplay(bool notifyAccessibility);
    // Whether user input went to the host within the last 150 ms.
    bool userInputIsRecent() const;
    bool pendingDisplay() const { return pendingDisplay_.load(); }

    // --- Set-up and metrics ----------------------------------------------------------------------

    // Creates or re-configures the terminal for a frame of this size (0 x 0: none known).
    void setupOptions(double width, double height);
    // Fits the grid to a new frame; true when the grid changed.
    bool resizeTerminalToFrame(QSizeF size);
    // The width left to the grid beside the scroller.
    double widthExcludingScroller(double width) const;
    // The frame that holds the grid exactly, scroller included.
    QRectF optimalFrame() const;

    const FontSet &fontSet() const { return fontSet_; }
    // Back to the default font without measuring the cells again.
    void restoreDefaultFont();
    std::optional<QSizeF> cellDimension() const { return cellDimension_; }
    // Device pixels per device-independent pixel, which images are made at and Kitty pixel offsets
    // are counted in.
    double backingScale() const;
    QSizeF computeCellDimension() const;
    void resetFontMetrics();
    void resetCaches();
    void resizeAfterFontChange(int64_t cols, int64_t rows);
    // The cell size in device pixels, halves rounded away from zero.
    CellPixelSize cellSizeInPixels() const;
    double lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(double spacing);
    // Read by the renderers; changing it alone redraws nothing.
    bool fontSmoothing() const { return fontSmoothing_; }
    void setFontSmoothing(bool smoothing) { fontSmoothing_ = smoothing; }

    // --- Colours ---------------------------------------------------------------------------------

    // The colour a cell colour is drawn in. With `useBright`, bold text in colours 0 to 6 takes the
    // bright variant; without it colours 8 to 15 map down to 0 to 7.
    QColor nsColor(const Attribute::Color &color, bool isForeground, bool isBold, bool useBright);
    const QColor &nativeForegroundColor() const { return *nativeFg_; }
    void setNativeForegroundColor(const QColor &color);
    const QColor &nativeBackgroundColor() const { return *nativeBg_; }
    void setNativeBackgroundColor(const QColor &color);
    const QColor &selectedTextBackgroundColor() const { return selectedTextBackgroundColor_; }
    void setSelectedTextBackgroundColor(const QColor &color);
    const QColor &selectedTextForegroundColor() const { return selectedTextForegroundColor_; }
    void setSelectedTextForegroundColor(const QColor &color);
    bool useBrightColors() const { return useBrightColors_; }
    // Cached attributes depend on it: they are dropped and every row is redrawn.
    void setUseBrightColors(bool on);
    bool customBlockGlyphs() const { return customBlockGlyphs_; }
    void setCustomBlockGlyphs(bool on);
    bool antiAliasCustomBlockGlyphs() const { return antiAliasCustomBlockGlyphs_; }
    void setAntiAliasCustomBlockGlyphs(bool on);
    // Forgets the converted colours and redraws every row.
    void colorsChanged();
    // Exactly 16 colours become the terminal's base colours; every row is redrawn either way.
    void installColors(std::span<const Color> colors);
    void setForegroundColor(Color color);
    void setBackgroundColor(Color color);
    // The desktop's text colours as the defaults.
    void useTextColors();

    // --- Drawing ---------------------------------------------------------------------------------

    // The attributes a cell is drawn with, shared by every cell with an equal attribute and link
    // flag until the fonts or colours change.
    std::shared_ptr<const TextAttributes> cellAttributes(const Attribute &attribute, bool linkHighlight);
    // The same for colours the caller resolved; not cached.
    TextAttributes makeAttributes(const Attribute &attribute, const QColor &fg, const QColor &bg);
    // The segments, runs and custom glyph cells of buffer row `row`, `cols` columns wide.
    RowSegments buildAttributedSegments(int64_t row, const BufferLine &line, int64_t cols);
    // The columns of a buffer row that the selection covers.
    std::optional<std::pair<int64_t, int64_t>> selectedColumns(int64_t row, int64_t cols) const;
    // Paints every buffer row under `dirtyRect` (widget coordinates) as seen from display offset `yDisp`.
    void drawTerminalContents(QPainter &painter, const QRectF &dirtyRect, int64_t yDisp);
    // Draws one cell's text; shared with the caret.
    CellTextPainter &cellTextPainter();
    // The normal font's baseline height above the bottom of a cell.
    double baselineOffset() const;

    // What the selection covers, as drawn.
    std::optional<SelectionEnds> selectionEnds() const;
    LinkHighlightMode linkHighlightMode() const { return linkHighlightMode_; }
    void setLinkHighlightMode(LinkHighlightMode mode);
    void setLinkHighlightRange(std::optional<std::vector<LinkRowRange>> range);
    bool commandActive() const { return commandActive_; }
    // Ctrl (the pointer modifier for links) went down or up.
    void setCommandActive(bool active);

    // --- Links (TerminalViewLinks.cpp) -----------------------------------------------------------
    // Positions are cells of the visible screen.

    // An OSC 8 payload split into its target and its key=value parameters (separated by ":");
    // no target when the payload has no ";".
    struct LinkPayload {
        std::optional<std::string> url;
        std::map<std::string, std::string> parameters;
    };
    static LinkPayload parseLinkPayload(std::string_view payload);
    // The font of the preview label.
    static QFont tryUrlFont();

    LinkReporting linkReporting() const { return linkReporting_; }
    void setLinkReporting(LinkReporting reporting) { linkReporting_ = reporting; }
    const std::optional<std::vector<LinkRowRange>> &linkHighlightRange() const { return linkHighlightRange_; }
    // The text of the last link found under the pointer while Ctrl was held.
    const std::optional<std::string> &lastReportedLink() const { return lastReportedLink_; }
    // The label that shows an OSC 8 link's target while Ctrl is held over it; absent otherwise.
    QLabel *urlPreview() const { return urlPreview_; }

    // The OSC 8 payload of a cell (of its left half for the right half of a wide character).
    std::optional<std::string> explicitLinkPayload(int64_t col, int64_t row);
    // Highlights the link under a cell when the mode says links follow the pointer (absent
    // `modifierActive`: whether Ctrl is held); clears the highlight otherwise. Redraws only the rows
    // of a highlight that changed.
    void updateLinkHighlight(Position screenCell, std::optional<bool> modifierActive);
    void updateReportedLink(Position screenCell);
    // Shows the target of an OSC 8 payload in the preview label, as plain text.
    void showUrlPreview(std::string_view payload);
    // Everything that ends when Ctrl goes up: the preview, the reported link and a Ctrl highlight.
    void commandKeyReleased();
    // After a mode change: pointer tracking as the modes need it, every row redrawn.
    void updateLinkHighlightTracking();
    void installTrackingArea();
    // Stops pointer tracking unless the host wants every motion, Ctrl is held or links follow the
    // pointer in any case.
    void releaseLinkTracking();
    // The link that a click at a cell opens (its target and parameters), by the highlight mode.
    std::optional<std::pair<std::string, std::map<std::string, std::string>>> linkAt(int64_t col, int64_t row,
                                                                                     bool commandPressed);

    // --- GPU renderer (TerminalViewMetal.cpp) ------------------------------------------------------
    // The view draws with QPainter until its host switches the GPU renderer on; the application never
    // does. The GPU renderer draws into a GL widget that covers the view, under the caret and scroller.

    // Does nothing when `enabled` is the current state. Throws `MetalError` when the GPU renderer cannot
    // be made; the view then stays as it was.
    void switchMetalRenderer(bool enabled);
    bool isUsingMetalRenderer() const { return useMetalRenderer_; }
    MetalView *metalView() const { return metalView_; }
    MetalTerminalRenderer *metalRenderer() const { return metalRenderer_.get(); }
    // The top-level window the GL widget and its renderer were made for.
    QWidget *metalBoundWindow() const { return metalBoundWindow_.data(); }
    // Buffer lines changed since the last GPU frame; the frame build takes them.
    const std::optional<LineRange> &metalDirtyRange() const { return metalDirtyRange_; }
    std::optional<LineRange> takeMetalDirtyRange() { return std::exchange(metalDirtyRange_, std::nullopt); }
    // The cursor as the last GPU redraw request saw it: column, buffer line, hidden.
    struct RenderedCursor {
        int64_t x = 0;
        int64_t y = 0;
        bool hidden = false;
        bool operator==(const RenderedCursor &) const = default;
    };
    const std::optional<RenderedCursor> &lastRenderedCursor() const { return lastRenderedCursor_; }
    // A GPU redraw one display interval ahead; at most one waits. Nothing without the GL widget.
    void queueMetalDisplay();
    bool pendingMetalDisplay() const { return pendingMetalDisplay_; }
    // The scale the GPU renderer draws at instead of the screen's.
    std::optional<double> metalScaleFactorOverride() const { return metalScaleFactorOverride_; }
    void setMetalScaleFactorOverride(std::optional<double> scale);
    // Whether a resize during a live resize only queues a GPU redraw. Read once per process from
    // KESTRIX_METAL_LIVE_RESIZE_THROTTLE: on unless it is "0", "false" or "FALSE".
    static bool metalLiveResizeThrottle();
    static bool parseMetalLiveResizeThrottle(const char *value);
    // Resizes closer together than this are taken as one live resize: the desktop does not tell when
    // a user drags a window's edge.
    static constexpr std::chrono::milliseconds liveResizeGap{100};

    // --- Images ----------------------------------------------------------------------------------

    // Shows an image at the cursor: sized by the requests (automatic: the image's own size in device
    // pixels), cut into stripes one cell high attached to the lines from the cursor down, with one
    // line feed per stripe so that output continues below it.
    void placeImage(const QImage &image, ImageSizeRequest width, ImageSizeRequest height,
                    bool preserveAspectRatio);
    // The same for an encoded image file; nothing when it cannot be decoded.
    void placeImage(std::span<const uint8_t> data, ImageSizeRequest width, ImageSizeRequest height,
                    bool preserveAspectRatio);
    // A new image of `size` (device-independent pixels) with `image` fitted inside it, centred.
    static QImage scale(const QImage &image, QSizeF size, double devicePixelRatio = 1.0);
    // The image's width and height in pixels; nothing for an empty image.
    static std::optional<std::pair<double, double>> imagePixelSize(const QImage &image);

    // --- Caret -----------------------------------------------------------------------------------

    CaretView *caretView() const { return caretView_; }
    // Puts the caret on the cursor cell, or takes it away when the cursor is hidden or below the
    // viewport.
    void updateCaretFrame();
    // Focus of the view in an active window.
    bool hasFocusInActiveWindow() const;

    // --- User input to the host ------------------------------------------------------------------

    void send(std::span<const uint8_t> data);
    void send(std::string_view txt);
    // Brings the cursor row into the viewport.
    void ensureCaretIsVisible();

    // --- Keyboard and text input ----------------------------------------------------------------

    // Option (Alt) acts as Meta; Super+Alt+O turns it over.
    bool optionAsMetaKey() const { return keyboard_.optionAsMetaKey(); }
    void setOptionAsMetaKey(bool on) { keyboard_.setOptionAsMetaKey(on); }
    bool backspaceSendsControlH() const { return keyboard_.backspaceSendsControlH(); }
    void setBackspaceSendsControlH(bool on) { keyboard_.setBackspaceSendsControlH(on); }
    bool kittyIsComposing() const { return keyboard_.kittyIsComposing(); }

    // Committed text, typed or from an input method; a paste is bracketed when the host asked.
    void insertText(std::string_view text, bool isPaste = false);
    // Composing text of an input method, shown over the caret until it is committed or dropped.
    void setMarkedText(const QString &text, int selectedStart, int selectedLength);
    void unmarkText();
    bool hasMarkedText() const { return markedTextStorage_.has_value(); }
    const std::optional<QString> &markedText() const { return markedTextStorage_; }
    QLabel *markedTextOverlay() const { return markedTextOverlay_; }
    // Pastes the clipboard's text.
    void paste();
    // Pastes the primary selection's text, as a middle click does; nothing when it is empty.
    void pastePrimarySelection();
    // The selected text replaces the clipboard's contents as plain text.
    void copy();
    // Selects every line, scrollback included.
    void selectAll();
    // The selection as a run of cells counted row by row (row x cols + column): its location and
    // length; without a selection the cursor's cell on the screen and 0.
    std::pair<int64_t, int64_t> selectedRange() const;
    // Whether the Edit menu item with this action ("paste:") and tag is enabled.
    bool validateUserInterfaceItem(std::string_view action, int64_t tag) const;

    // --- Selection -------------------------------------------------------------------------------

    // Made anew with the terminal's options; the view owns it.
    SelectionService *selection() const { return selection_.get(); }
    bool selectionActive() const { return selection_->active(); }
    // The selected text while the selection shows.
    std::optional<std::string> getSelection() const;
    // Hides the selection and forgets its ends.
    void selectNone();

    // --- Find ------------------------------------------------------------------------------------

    // The find menu commands, by the menu item's tag; no tag does nothing.
    void performFindPanelAction(std::optional<int64_t> tag);
    void performTextFinderAction(std::optional<int64_t> tag);
    SearchService *search() const { return search_.get(); }
    // Absent until the bar is first shown.
    TerminalFindBarView *findBar() const { return findBar_; }
    const std::string &findBarTerm() const { return findBarTerm_; }
    const SearchOptions &findBarOptions() const { return findBarOptions_; }
    // Shows the bar with the selected text (when asked and there is one) or the find pasteboard's
    // string, searches for it, and gives the bar the keyboard.
    void showFindBar(bool useSelection);
    // Hides the bar and gives the keyboard back to the terminal; the match stays selected.
    void hideFindBar();
    // The next or previous match of the bar's text (of the find pasteboard's when the bar is hidden).
    void findAgain(bool forward);
    void useSelectionForFind();
    void updateFindBarSearch(const std::string &text);
    void handleFindBarOptionsChanged(const SearchOptions &options);
    static std::optional<std::string> findPasteboardString();
    // Searches on from the current selection, selects the match and, when asked, scrolls to it; true
    // when there was a match.
    bool findNext(std::string_view term, const SearchOptions &options, bool scrollToResult);
    bool findPrevious(std::string_view term, const SearchOptions &options, bool scrollToResult);
    // Forgets the search and clears the selection.
    void clearSearch();
    // The 1-based number of the last match among at most `limit` matches (0 when it is not among
    // them), and how many there are.
    std::pair<int64_t, int64_t> searchMatchPosition(std::string_view term, const SearchOptions &options,
                                                    int64_t limit);

    // --- Viewport --------------------------------------------------------------------------------

    double scrollPosition() const;
    double scrollThumbsize() const;
    bool canScroll() const;
    void updateScroller();
    void scrollTo(int64_t row, bool notifyAccessibility = true);
    void scrollToPosition(double position);
    void scrollUp(int64_t lines);
    void scrollDown(int64_t lines);
    // The viewport moves by the terminal's row count; the host hears nothing (the page keys
    // themselves go to the host).
    void pageUp();
    void pageDown();
    void updateUserScrolling(int64_t row);
    // Nothing means no scrollback at all.
    void changeScrollback(std::optional<int64_t> lines);
    bool userScrolling() const { return userScrolling_; }

    // --- Settings --------------------------------------------------------------------------------

    bool allowMouseReporting() const { return allowMouseReporting_; }
    void setAllowMouseReporting(bool on) { allowMouseReporting_ = on; }
    bool notifyUpdateChanges() const { return notifyUpdateChanges_; }
    void setNotifyUpdateChanges(bool on) { notifyUpdateChanges_ = on; }
    double scrollSensitivity() const { return scrollSensitivity_; }
    void setScrollSensitivity(double sensitivity);

    TerminalScroller *scroller() const { return scroller_; }
    // The developer's overlay, refreshed with every display update; registered by the overlay itself.
    TerminalDebugView *debug() const;
    void setDebug(TerminalDebugView *overlay);
    TerminalScroller::Style scrollerStyle() const { return scrollerStyle_; }
    // Restyles the scroller at once; the grid keeps its columns until the next frame change.
    void setScrollerStyle(TerminalScroller::Style style);
    void restyleScroller();
    // A page press or knob drag on the scroller.
    void scrollerActivated();
    // The terminal switched buffers, scrolled, or fed a line.
    void bufferSwitched();
    void viewportScrolled();
    void lineFed();
    TerminalProgressBarView *progressBarView() const { return progressBarView_; }
    // The percentage last shown in the progress strip.
    std::optional<uint8_t> lastProgressValue() const { return lastProgressValue_; }
    void clearProgress();

    // --- What the terminal tells the view --------------------------------------------------------

    void terminalTitleDidChange(Terminal &source, const std::string &title) override;
    std::optional<std::vector<uint8_t>>
    terminalWindowRequest(Terminal &source, const WindowManipulationCommand &command) override;
    void terminalDidResize(Terminal &source) override;
    void terminalSendToHost(Terminal &source, std::span<const uint8_t> data) override;
    void terminalDidScroll(Terminal &source, int64_t position) override;
    void terminalDidSwitchBuffer(Terminal &source) override;
    void terminalDidLineFeed(Terminal &source) override;
    void terminalSynchronizedOutput(Terminal &source, bool active) override;
    void terminalBell(Terminal &source) override;
    void terminalRevealedCursor(Terminal &source) override;
    void terminalConcealedCursor(Terminal &source) override;
    void terminalCursorStyleDidChange(Terminal &source, CursorStyle style) override;
    void terminalCursorColorDidChange(Terminal &source, std::optional<Color> color) override;
    void terminalNeedsFullRedraw(Terminal &source) override;
    bool terminalAllowsHostQueries(Terminal &source) override;
    std::optional<CellPixelSize> terminalCellPixelSize(Terminal &source) override;
    void terminalMouseModeDidChange(Terminal &source) override;
    void terminalCurrentDirectoryDidChange(Terminal &source) override;
    void terminalPaletteDidChange(Terminal &source, std::optional<int64_t> index) override;
    void terminalForegroundColorDidChange(Terminal &source, Color color) override;
    void terminalBackgroundColorDidChange(Terminal &source, Color color) override;
    void terminalExtendedCommand(Terminal &source, std::span<const uint8_t> payload) override;
    void terminalCopyToClipboard(Terminal &source, std::span<const uint8_t> data) override;
    std::optional<std::vector<uint8_t>> terminalReadClipboard(Terminal &source) override;
    // May arrive on any thread; the report is applied on the main thread.
    void terminalProgressDidChange(Terminal &source, const ProgressReport &report) override;
    void terminalBitmapImage(Terminal &source, std::span<const uint8_t> bytes, int64_t width,
                             int64_t height) override;
    void terminalInlineImage(Terminal &source, std::span<const uint8_t> data, ImageSizeRequest width,
                             ImageSizeRequest height, bool preserveAspectRatio) override;

protected:
    // The queue deferred work of the view and its terminal runs on.
    TaskQueue &mainQueue() const { return *mainQueue_; }
    // Schedules a repaint of part of the widget (y down).
    virtual void setNeedsDisplay(const QRectF &rect);
    // Time spent painting, which paces the next coalesced update.
    void notePainting(std::chrono::nanoseconds duration);
    // Shows a progress report; always called on the main thread.
    virtual void applyProgressReport(const ProgressReport &report);

    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    // Offers the selected text as the desktop's primary selection.
    void publishSelection();
    void setupView(const QRect &frame);
    void fitToFrameOnceShown();
    void setupScroller();
    void setupProgressBar();
    void setupCaret();
    const QFont &fontFor(bool bold, bool italic) const;
    bool isLinkHighlighted(int64_t row, int64_t column, int64_t columnWidth, const CharData &cell) const;
    std::shared_ptr<const TextAttributes>
    selectedAttributes(const std::shared_ptr<const TextAttributes> &attributes) const;
    // What the Kitty placeholder cells of one draw share: the virtual placements of the current
    // screen by image id, and the images decoded so far.
    struct KittyPlaceholderDrawing {
        VirtualPlacements virtualPlacements;
        KittyImageDecodeCache images;
    };
    KittyPlaceholderDrawing makeKittyPlaceholderDrawing() const;
    void drawKittyPlaceholders(QPainter &painter, std::span<const KittyPlaceholderCell> cells, double rowTop,
                               KittyPlaceholderDrawing &drawing) const;
    void drawRow(QPainter &painter, int64_t row, BufferLine &line, int64_t yDisp,
                 KittyPlaceholderDrawing &placeholders);
    void drawRowBackgrounds(QPainter &painter, const RowSegments &row, double rowTop);
    void drawRowText(QPainter &painter, const RowSegments &row, double rowTop);
    void drawRowImages(QPainter &painter, const std::vector<std::shared_ptr<AppleImage>> &images,
                       double rowTop, bool withPixelOffsets);
    // Under and through each glyph of a run; the origins are the glyphs' grid positions on the baseline.
    void drawUnderlines(QPainter &painter, const TextAttributes &attributes,
                        std::span<const PointF> glyphOrigins, int64_t columnWidth);
    void drawBlockElements(QPainter &painter, std::span<const BlockElementRenderItem> items, double rowTop);
    void drawBoxCharacters(QPainter &painter, std::span<const BoxDrawingRenderItem> items, double rowTop);
    // Under the image and placement ids of a Kitty placement, when it has both.
    void recordKittyPlacement(const KittyPlacementContext &context, int64_t col, int64_t row, int64_t cols,
                              int64_t rows);
    static void labelKittyStripe(AppleImage &stripe, const KittyPlacementContext &context, int64_t col,
                                 int64_t row, int64_t cols, int64_t rows);
    // Stripe `index` of `source`, `band` source pixels high, drawn into an image of `size`.
    static QImage makeImageStripe(const QImage &source, int64_t index, double band, QSizeF size,
                                  double scale);
    void applyMetalRenderer(bool enabled);
    // A GL widget over the whole of `frame`, passing the pointer through to the view.
    MetalView *makeMetalView(const QRect &frame);
    // Throws `MetalError`.
    std::unique_ptr<MetalTerminalRenderer> makeMetalRenderer(MetalView &surface);
    // Below the caret (which the GPU renderer replaces) and the scroller, above `reference` if given.
    void insertMetalView(MetalView *surface, QWidget *reference);
    void removeMetalView();
    // The QPainter path's caret back, as the cursor stands.
    void restoreCaretView();
    // Makes the GL widget and renderer anew for the window the view is in now.
    void rebindMetalRenderer();
    void fallBackToCoreGraphics(const MetalError &error);
    void viewDidMoveToWindow();
    // Asks the GPU renderer for a frame.
    void setMetalNeedsDisplay();
    void markMetalLinesDirty(std::optional<LineRange> lines);
    // A resize close after the previous one.
    bool inLiveResize(uint64_t now);
    // The renderer's frame of this view; takes the dirty lines.
    DrawData buildMetalFrame(MetalTerminalRenderer &renderer, double scale);
    void layoutSubviews();
    TerminalFindBarView *ensureFindBar();
    void layoutFindBar();
    bool find(std::string_view term, const SearchOptions &options, bool scrollToResult, bool forward);
    // Brings a buffer row into the viewport, centred, unless it shows already.
    void scrollToShowRow(int64_t row);
    // The selected text while a selection shows; empty otherwise.
    std::string activeSelectionText() const;
    // Hides a shown selection and leaves character mode without a word anchor.
    void clearSearchSelection();
    void updateProgressBarFrame();
    void updateDebugDisplay();
    // Every row redrawn at the next display update.
    void fullRefresh();
    void runQueuedDisplayUpdate();
    // Painting of the last frame while updates follow each other; nothing after a pause.
    std::chrono::nanoseconds recentPainting() const;
    // Whether a display update ran less than a frame ago.
    bool updatedWithinAFrame() const;
    bool isOnMainThread() const;
    uint64_t uptimeNs() const;
    int64_t maxScroll() const;
    void deliverProgressReport(const ProgressReport &report);
    // The percentage a report shows, by its state and the last value shown.
    std::optional<uint8_t> resolveProgress(const ProgressReport &report);
    void restartProgressTimer();
    void notifySizeChanged();
    void notifyScrollPosition();
    TerminalKeyboard::Context keyboardContext() const;
    void perform(std::vector<KeyboardAction> actions, const PlatformKeyEvent &event);
    // What the input system makes of a key: a text command or committed text.
    void interpretKeyEvents(const PlatformKeyEvent &event);
    void doCommand(std::string_view selector);
    void flagsChanged(const PlatformKeyEvent &event);
    // The view's own Ctrl+Shift shortcuts; true when the event was one.
    bool runEditShortcut(const QKeyEvent &event);
    void updateMarkedTextOverlay();
    QRect caretRect() const;
    // The pointer over a cell: `grid` its column and buffer row, `pixels` the point in the view.
    struct MouseHit {
        Position grid;
        Position pixels;
    };
    MouseHit calculateMouseHit(QPointF point) const;
    // The hit's row on the screen, within the rows.
    int64_t screenRow(const MouseHit &hit) const;
    int64_t encodeMouseButton(Qt::MouseButton button, bool release, Qt::KeyboardModifiers modifiers) const;
    int64_t withModifierBits(int64_t code, Qt::KeyboardModifiers modifiers) const;
    void sendMouseReport(int64_t flags, const MouseHit &hit);
    // The release of `button`: the SGR forms name the button, the others send the release code.
    void sendMouseRelease(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const MouseHit &hit);
    // The link a left release opens, if any; it reports the release first when the host saw the press.
    bool openLinkOnRelease(const QMouseEvent &event, const MouseHit &hit);
    std::optional<LinkMatch> linkMatchAt(Position screenCell);
    void markLinkHighlightRowsDirty(const std::optional<std::vector<LinkRowRange>> &old,
                                    const std::optional<std::vector<LinkRowRange>> &current);
    void hideUrlPreview();
    void commandKeyPressed();
    // The link highlight, preview and reported link for the pointer at a point of the view.
    void pointerMovedOverLinks(QPointF point);
    bool needsPointerTracking() const;
    // Shift selects even while the host reports the mouse, unless the host captures Shift too.
    bool shiftBypassesMouseReporting(Qt::KeyboardModifiers modifiers) const;
    bool mouseReportingApplies(Qt::KeyboardModifiers modifiers) const;
    // The presses in a row at one place, this one included.
    int64_t countClick(QPointF position);
    void mouseMoved(const QMouseEvent &event);
    // Lines per auto-scroll tick for a pointer `delta` rows beyond the screen.
    int64_t calcScrollingVelocity(int64_t delta) const;
    void startSelectionAutoScroll();
    void scheduleSelectionAutoScrollTick();
    void selectionAutoScrollTick();
    void cancelSelectionAutoScroll();
    void stopSelectionAutoScrollTimer();

    TerminalViewDelegate *terminalDelegate_ = nullptr;
    TerminalViewEnvironment environment_;
    std::unique_ptr<MainTaskQueue> ownQueue_;
    TaskQueue *mainQueue_ = nullptr;

    // Set from any thread by updateDisplayNow, cleared by the display update on the main thread.
    std::atomic<bool> pendingDisplay_{false};
    // Painting since the last display update ran, painting between the two updates before, and
    // when the last one ran; main thread only.
    std::chrono::nanoseconds paintingSinceUpdate_{0};
    std::chrono::nanoseconds paintingOfLastFrame_{0};
    uint64_t lastUpdateUptimeNs_ = 0;
    // Display updates run so far; a queued update finds out whether another ran before it.
    uint64_t displayUpdates_ = 0;
    mutable std::mutex userInputLock_;
    uint64_t lastUserInputUptimeNs_ = 0;

    std::optional<QSizeF> cellDimension_;
    // A fit of the grid to the frame waits for the layouts of a showing.
    bool fitToFramePending_ = false;
    bool fontSmoothing_ = true;
    double lineSpacing_ = 1.0;
    std::unique_ptr<Terminal> terminal_;
    TerminalProgressBarView *progressBarView_ = nullptr;
    TerminalScroller *scroller_ = nullptr;
    QPointer<TerminalDebugView> debug_;
    TerminalScroller::Style scrollerStyle_ = TerminalScroller::Style::overlay;

    std::array<std::optional<QColor>, 256> colors_;
    std::unordered_map<Attribute::Color, QColor> trueColors_;
    FontSet fontSet_;
    std::optional<QColor> nativeFg_;
    std::optional<QColor> nativeBg_;
    bool settingFg_ = false;
    bool settingBg_ = false;
    bool useBrightColors_ = true;
    bool customBlockGlyphs_ = true;
    bool antiAliasCustomBlockGlyphs_ = false;
    QColor selectedTextBackgroundColor_ = QColor::fromRgbF(0, 166 / 255.0f, 178 / 255.0f);
    QColor selectedTextForegroundColor_ = Qt::black;
    std::unordered_map<Attribute, std::shared_ptr<const TextAttributes>> attributes_;
    std::unordered_map<Attribute, std::shared_ptr<const TextAttributes>> urlAttributes_;
    std::unique_ptr<CellTextPainter> cellTextPainter_;
    std::unique_ptr<SelectionService> selection_;
    LinkHighlightMode linkHighlightMode_ = LinkHighlightMode::hoverWithModifier;
    std::optional<std::vector<LinkRowRange>> linkHighlightRange_;
    bool commandActive_ = false;
    LinkReporting linkReporting_ = LinkReporting::implicitLinks;
    QLabel *urlPreview_ = nullptr;
    std::optional<std::string> lastReportedLink_;
    // Buttons whose press the host was sent and whose release it has not been sent yet.
    Qt::MouseButtons reportedPresses_;
    CaretView *caretView_ = nullptr;
    bool allowMouseReporting_ = true;
    bool notifyUpdateChanges_ = false;
    bool userScrolling_ = false;
    double scrollSensitivity_ = 1.0;
    std::optional<uint8_t> lastProgressValue_;
    // Each restart of the stale-report wait gets a new generation; an older wait does nothing.
    uint64_t progressTimerGeneration_ = 0;

    std::unique_ptr<SearchService> search_;
    TerminalFindBarView *findBar_ = nullptr;
    std::string findBarTerm_;
    SearchOptions findBarOptions_;

    TerminalKeyboard keyboard_;
    std::optional<QString> markedTextStorage_;
    // The selection inside the composing text; a negative start means none.
    int markedSelectedStart_ = -1;
    int markedSelectedLength_ = 0;
    QLabel *markedTextOverlay_ = nullptr;

    int64_t clickCount_ = 0;
    uint64_t lastClickUptimeNs_ = 0;
    QPointF lastClickPosition_;
    bool didSelectionDrag_ = false;
    // The current press chose text itself: a double or triple click, or a Shift-extension.
    bool didSelectByPress_ = false;
    // Where a local press went down: a drag selects from there.
    std::optional<Position> selectionPressCell_;
    std::optional<QPointF> lastSelectionDragPoint_;
    // Lines per auto-scroll tick: negative upwards, 0 when idle.
    int64_t autoScrollDelta_ = 0;
    // The running auto-scroll's generation, 0 when none runs; a tick of another generation stops.
    uint64_t autoScrollGeneration_ = 0;
    uint64_t autoScrollGenerations_ = 0;
    // The part of precise wheel deltas not yet spent on a whole line, in points.
    double scrollAccumulator_ = 0;

    bool useMetalRenderer_ = false;
    // A child widget, deleted with the view; the renderer is its delegate and goes first.
    MetalView *metalView_ = nullptr;
    std::unique_ptr<MetalTerminalRenderer> metalRenderer_;
    // Tells a queued set-up failure of an earlier renderer from one of the current renderer.
    uint64_t metalRendererGeneration_ = 0;
    QPointer<QWidget> metalBoundWindow_;
    std::optional<LineRange> metalDirtyRange_;
    bool pendingMetalDisplay_ = false;
    std::optional<RenderedCursor> lastRenderedCursor_;
    std::optional<double> metalScaleFactorOverride_;
    std::optional<uint64_t> lastResizeNs_;
};

} // namespace kestrix
