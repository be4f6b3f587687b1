// Committed text, the input method's composing text and its overlay, and the Edit menu: copy,
// paste, select all and their validation.

#include "Kestrix/view/BracketedPaste.h"
#include "Kestrix/view/PrimarySelection.h"
#include "Kestrix/view/CaretView.h"
#include "Kestrix/view/EscapeSequences.h"
#include "Kestrix/view/TerminalView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QLabel>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>

namespace kestrix {
namespace {

bool isOneCharacter(std::string_view text)
{
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (string.isEmpty())
        return false;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, string);
    return graphemes.toNextBoundary() == string.size();
}

QString overlayStyleSheet(const QColor &foreground, const QColor &background)
{
    return QStringLiteral(
               "QLabel { color: %1; background-color: rgba(%2, %3, %4, 0.9); border-radius: 3px; }")
        .arg(foreground.name())
        .arg(background.red())
        .arg(background.green())
        .arg(background.blue());
}

// Edit and find menu items the view answers, by action; `always` lists the tags that are always
// enabled, and tag 7 (use the selection) needs a selection.
struct MenuItemRule {
    std::string_view action;
    bool anyTag;
    std::array<int64_t, 6> always;
    bool needsSelection;
};

constexpr auto menuItemRules = std::to_array<MenuItemRule>({
    {"performFindPanelAction:", false, {1, 2, 3}, false},
    {"performTextFinderAction:", false, {1, 2, 3, 11, 12, 13}, false},
    {"paste:", true, {}, false},
    {"selectAll:", true, {}, false},
    {"copy:", true, {}, true},
});

constexpr int64_t useSelectionTag = 7;

} // namespace

void TerminalView::insertText(std::string_view text, bool isPaste)
{
    markedTextStorage_.reset();
    markedSelectedStart_ = -1;
    markedSelectedLength_ = 0;
    updateMarkedTextOverlay();

    const TerminalKeyboard::Context context = keyboardContext();
    const bool kittyMode = !context.kittyFlags.isEmpty();
    // A paste is text in every mode: as a key event it would lose its text or its line breaks.
    if (isPaste) {
        if (kittyMode)
            keyboard_.takePendingKittyKeyEvent();
        if (!terminal_->bracketedPasteMode) {
            send(text);
            return;
        }
        send(EscapeSequences::bracketedPasteStart);
        send(BracketedPaste::removeMarkers(text));
        send(EscapeSequences::bracketedPasteEnd);
        return;
    }
    if (!kittyMode) {
        send(text);
        return;
    }

    const std::optional<PendingKittyKeyEvent> pending = keyboard_.takePendingKittyKeyEvent();
    keyboard_.setKittyIsComposing(false);
    if (pending) {
        const KeyModifierFlags flags = pending->event.modifierFlags;
        // Characters composed with Option reach the host as text.
        if (!keyboard_.optionAsMetaKey() && flags.contains(KeyModifierFlags::option) &&
            !flags.contains(KeyModifierFlags::control) && !flags.contains(KeyModifierFlags::command) &&
            isPlainPrintableText(text)) {
            send(text);
            return;
        }
        if (isOneCharacter(text)) {
            if (const auto keyEvent =
                    keyboard_.kittyKeyEvent(pending->event, pending->eventType, std::string(text))) {
                const KittyKeyboardEncoder encoder{context.kittyFlags, context.applicationCursor,
                                                   keyboard_.backspaceSendsControlH()};
                if (auto bytes = encoder.encode(*keyEvent))
                    send(*bytes);
                return;
            }
        }
    }
    // Text no key stands for (an input method's commit) is sent as it is.
    send(text);
}

void TerminalView::setMarkedText(const QString &text, int selectedStart, int selectedLength)
{
    markedTextStorage_ = text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    markedSelectedStart_ = selectedStart;
    markedSelectedLength_ = selectedLength;
    keyboard_.setKittyIsComposing(true);
    updateMarkedTextOverlay();
}

void TerminalView::unmarkText()
{
    markedTextStorage_.reset();
    markedSelectedStart_ = -1;
    markedSelectedLength_ = 0;
    keyboard_.setKittyIsComposing(false);
    updateMarkedTextOverlay();
}

QRect TerminalView::caretRect() const
{
    if (caretView_ != nullptr && !caretView_->isHidden())
        return caretView_->geometry();
    if (!cellDimension_)
        return {};
    const Buffer &buffer = *terminal_->buffer;
    const double cellWidth = cellDimension_->width();
    const double cellHeight = cellDimension_->height();
    const int64_t row = buffer.yBase() + buffer.y() - buffer.yDisp();
    return QRectF(static_cast<double>(buffer.x()) * cellWidth, static_cast<double>(row) * cellHeight,
                  cellWidth, cellHeight)
        .toAlignedRect();
}

void TerminalView::updateMarkedTextOverlay()
{
    if (!markedTextStorage_) {
        delete markedTextOverlay_;
        markedTextOverlay_ = nullptr;
        return;
    }
    if (markedTextOverlay_ == nullptr) {
        markedTextOverlay_ = new QLabel(this);
        // The composing text is never markup.
        markedTextOverlay_->setTextFormat(Qt::PlainText);
        markedTextOverlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QFont font = fontSet_.normal;
    font.setUnderline(true);
    markedTextOverlay_->setFont(font);
    markedTextOverlay_->setStyleSheet(overlayStyleSheet(nativeForegroundColor(), nativeBackgroundColor()));
    markedTextOverlay_->setText(*markedTextStorage_);
    markedTextOverlay_->adjustSize();

    const QPoint origin = caretRect().topLeft();
    const int overflow = origin.x() + markedTextOverlay_->width() - width();
    const int x = std::max(overflow > 0 ? origin.x() - overflow : origin.x(), 0);
    markedTextOverlay_->move(x, origin.y());
    markedTextOverlay_->raise();
    markedTextOverlay_->show();
    // The input method's candidate window follows the caret.
    QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TerminalView::inputMethodEvent(QInputMethodEvent *event)
{
    event->accept();
    const QString commit = event->commitString();
    if (!commit.isEmpty())
        insertText(commit.toStdString());
    const QString preedit = event->preeditString();
    if (preedit.isEmpty()) {
        if (commit.isEmpty())
            unmarkText();
        return;
    }
    int cursor = -1;
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor)
            cursor = attribute.start;
    }
    setMarkedText(preedit, cursor, 0);
}

QVariant TerminalView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect();
    case Qt::ImFont:
        return fontSet_.normal;
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
        return 0;
    case Qt::ImSurroundingText:
    case Qt::ImCurrentSelection:
        return QString();
    default:
        return QWidget::inputMethodQuery(query);
    }
}

bool TerminalView::validateUserInterfaceItem(std::string_view action, int64_t tag) const
{
    const bool selectionActive = selection_->active();
    const auto rule = std::find_if(menuItemRules.begin(), menuItemRules.end(),
                                   [action](const MenuItemRule &entry) { return entry.action == action; });
    if (rule == menuItemRules.end()) {
        std::cout << "Validating User Interface Item: " << action << std::endl;
        return false;
    }
    if (rule->anyTag)
        return !rule->needsSelection || selectionActive;
    if (tag == useSelectionTag)
        return selectionActive;
    // Zero never names an item, so the table's unused slots match nothing.
    return tag != 0 && std::find(rule->always.begin(), rule->always.end(), tag) != rule->always.end();
}

void TerminalView::selectAll()
{
    selection_->selectAll();
    publishSelection();
}

void TerminalView::publishSelection()
{
    if (!selection_->active()) {
        return;
    }
    const std::string text = selection_->selectedText();
    if (!text.empty()) {
        PrimarySelection::setString(text);
    }
}

std::pair<int64_t, int64_t> TerminalView::selectedRange() const
{
    const int64_t cols = terminal_->cols;
    const auto linear = [cols](const Position &position) { return position.row * cols + position.col; };
    if (selection_->active() && selection_->start() != selection_->end()) {
        const int64_t start = linear(selection_->start());
        const int64_t end = linear(selection_->end());
        return {std::min(start, end), std::abs(end - start)};
    }
    const Buffer &buffer = *terminal_->buffer;
    return {linear({buffer.x(), buffer.y()}), 0};
}

void TerminalView::copy()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear(QClipboard::Clipboard);
    clipboard->setText(QString::fromStdString(selection_->selectedText()), QClipboard::Clipboard);
}

void TerminalView::paste()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    insertText(clipboard->text(QClipboard::Clipboard).toStdString(), true);
}

void TerminalView::pastePrimarySelection()
{
    const std::string text = PrimarySelection::string();
    if (!text.empty()) {
        insertText(text, true);
    }
}

} // namespace kestrix
