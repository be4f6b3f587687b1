// Key events: the adaptor's record goes to the keyboard encoder, whose actions the view carries
// out; keys the encoder leaves to the input system become text commands or committed text.

#include "Kestrix/view/KeyText.h"
#include "Kestrix/view/PlatformKeyEventAdaptor.h"
#include "Kestrix/view/StandardKeyBindings.h"
#include "Kestrix/view/TerminalView.h"

#include <QKeyEvent>

namespace kestrix {
namespace {

bool isLetterKey(int key)
{
    return key >= Qt::Key_A && key <= Qt::Key_Z;
}

bool isControlShift(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
}

// Ctrl+Shift with a letter belongs to the application's shortcuts; every other key is the
// terminal's, so no shortcut may take a control key from the host.
bool terminalNeedsKey(const QKeyEvent &event)
{
    return !(isControlShift(event) && isLetterKey(event.key()));
}

} // namespace

TerminalKeyboard::Context TerminalView::keyboardContext() const
{
    return {terminal_->currentKeyboardFlags(), terminal_->applicationCursor};
}

bool TerminalView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && terminalNeedsKey(*static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

// Tab and Shift+Tab belong to the host, never to focus movement.
bool TerminalView::focusNextPrevChild(bool)
{
    return false;
}

bool TerminalView::runEditShortcut(const QKeyEvent &event)
{
    if (!isControlShift(event))
        return false;
    switch (event.key()) {
    case Qt::Key_V:
        paste();
        return true;
    case Qt::Key_A:
        selectAll();
        return true;
    case Qt::Key_C:
        // Copy reads the selection and never sends anything to the host.
        if (validateUserInterfaceItem("copy:", 0))
            copy();
        return true;
    case Qt::Key_F:
        showFindBar(true);
        return true;
    default:
        return false;
    }
}

void TerminalView::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    if (runEditShortcut(*event))
        return;
    const PlatformKeyEvent record = PlatformKeyEventAdaptor::fromQKeyEvent(*event);
    if (TerminalKeyboard::kittyModifierKey(record.keyCode)) {
        if (!event->isAutoRepeat())
            flagsChanged(record);
        return;
    }
    selection_->setActive(false);
    perform(keyboard_.keyDown(record, keyboardContext()), record);
    // The input system answered at once; a later input-method commit belongs to no key.
    keyboard_.takePendingKittyKeyEvent();
}

void TerminalView::keyReleaseEvent(QKeyEvent *event)
{
    event->accept();
    // A held key repeats as release and press pairs; only the last release is the key's.
    if (event->isAutoRepeat())
        return;
    const PlatformKeyEvent record = PlatformKeyEventAdaptor::fromQKeyEvent(*event);
    if (const auto modifierKey = TerminalKeyboard::kittyModifierKey(record.keyCode)) {
        // Caps Lock changes its state on the press alone.
        if (*modifierKey != KittyFunctionalKey::capsLock)
            flagsChanged(record);
        return;
    }
    if (auto bytes = keyboard_.keyUp(record, keyboardContext()))
        send(*bytes);
}

void TerminalView::flagsChanged(const PlatformKeyEvent &event)
{
    // Ctrl is the pointer modifier for links: while it is held, links light up.
    setCommandActive(event.modifierFlags.contains(KeyModifierFlags::control));
    if (auto bytes = keyboard_.flagsChanged(event, keyboardContext()))
        send(*bytes);
}

void TerminalView::perform(std::vector<KeyboardAction> actions, const PlatformKeyEvent &event)
{
    for (const KeyboardAction &action : actions) {
        switch (action.kind) {
        case KeyboardAction::Kind::send:
            send(action.bytes);
            break;
        case KeyboardAction::Kind::interpretKeyEvents:
            interpretKeyEvents(event);
            break;
        case KeyboardAction::Kind::scrollPageUp:
            pageUp();
            break;
        case KeyboardAction::Kind::scrollPageDown:
            pageDown();
            break;
        case KeyboardAction::Kind::scrollToTop:
            scrollTo(0);
            break;
        case KeyboardAction::Kind::scrollToBottom:
            scrollTo(maxScroll());
            break;
        }
    }
}

void TerminalView::interpretKeyEvents(const PlatformKeyEvent &event)
{
    if (const auto selector = StandardKeyBindings::textCommand(event)) {
        doCommand(*selector);
        return;
    }
    // Super combinations are shortcuts, and control characters are commands, never text.
    const std::optional<std::string> &text = event.characters;
    if (!text || text->empty() || containsControlCharacter(*text) ||
        event.modifierFlags.contains(KeyModifierFlags::command))
        return;
    insertText(*text);
}

void TerminalView::doCommand(std::string_view selector)
{
    perform(keyboard_.doCommand(selector, keyboardContext()), {});
}

} // namespace kestrix
