// The selection as the view shows it and hands it out.

#include "Kestrix/view/TerminalView.h"

namespace kestrix {

std::optional<SelectionEnds> TerminalView::selectionEnds() const
{
    return SelectionEnds{selection_->start(), selection_->end(), selection_->active()};
}

std::optional<std::string> TerminalView::getSelection() const
{
    if (!selection_->active()) {
        return std::nullopt;
    }
    return selection_->selectedText();
}

void TerminalView::selectNone()
{
    if (selection_->active()) {
        selection_->clear();
    }
}

void TerminalView::lineFed()
{
    if (allowMouseReporting_) {
        selectNone();
    }
}

void TerminalView::terminalDidLineFeed(Terminal &)
{
    lineFed();
}

} // namespace kestrix
