// Find: the find bar, the find menu commands and the search that selects a match and scrolls to it.

#include "Kestrix/core/SearchService.h"
#include "Kestrix/core/SelectionService.h"
#include "Kestrix/view/FindPasteboard.h"
#include "Kestrix/view/TerminalFindBarView.h"
#include "Kestrix/view/TerminalView.h"

#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>

namespace kestrix {
namespace {

enum class FindCommand { none, showFindBar, findNext, findPrevious, useSelectionAndShowFindBar, hideFindBar };

// What each menu tag does, for the find-panel actions and the text-finder actions.
struct FindActionRow {
    int64_t tag;
    FindCommand findPanel;
    FindCommand textFinder;
};

constexpr auto findActionRows = std::to_array<FindActionRow>({
    {1, FindCommand::showFindBar, FindCommand::showFindBar},
    {2, FindCommand::findNext, FindCommand::findNext},
    {3, FindCommand::findPrevious, FindCommand::findPrevious},
    {7, FindCommand::useSelectionAndShowFindBar, FindCommand::useSelectionAndShowFindBar},
    {11, FindCommand::none, FindCommand::hideFindBar},
});

const FindActionRow *findActionRow(std::optional<int64_t> tag)
{
    if (!tag) {
        return nullptr;
    }
    const auto row = std::ranges::find(findActionRows, *tag, &FindActionRow::tag);
    return row == findActionRows.end() ? nullptr : &*row;
}

void runFindCommand(TerminalView &view, FindCommand command)
{
    switch (command) {
    case FindCommand::none:
        break;
    case FindCommand::showFindBar:
        view.showFindBar(true);
        break;
    case FindCommand::findNext:
        view.findAgain(true);
        break;
    case FindCommand::findPrevious:
        view.findAgain(false);
        break;
    case FindCommand::useSelectionAndShowFindBar:
        view.useSelectionForFind();
        view.showFindBar(false);
        break;
    case FindCommand::hideFindBar:
        view.hideFindBar();
        break;
    }
}

// The bar's distance from the view's top and trailing edges, and the most it grows to.
constexpr int findBarInset = 8;
constexpr int findBarMaximumWidth = 520;

} // namespace

void TerminalView::performFindPanelAction(std::optional<int64_t> tag)
{
    if (const FindActionRow *row = findActionRow(tag)) {
        runFindCommand(*this, row->findPanel);
    }
}

void TerminalView::performTextFinderAction(std::optional<int64_t> tag)
{
    if (const FindActionRow *row = findActionRow(tag)) {
        runFindCommand(*this, row->textFinder);
    }
}

std::optional<std::string> TerminalView::findPasteboardString()
{
    return FindPasteboard::string();
}

TerminalFindBarView *TerminalView::ensureFindBar()
{
    if (findBar_ != nullptr) {
        return findBar_;
    }
    findBar_ = new TerminalFindBarView(this);
    findBar_->hide();
    const QPointer<TerminalView> view(this);
    findBar_->onSearchChanged = [view](const std::string &text) {
        if (view) {
            view->updateFindBarSearch(text);
        }
    };
    findBar_->onFindNext = [view] {
        if (view) {
            view->findAgain(true);
        }
    };
    findBar_->onFindPrevious = [view] {
        if (view) {
            view->findAgain(false);
        }
    };
    findBar_->onClose = [view] {
        if (view) {
            view->hideFindBar();
        }
    };
    findBar_->onOptionsChanged = [view](const SearchOptions &options) {
        if (view) {
            view->handleFindBarOptionsChanged(options);
        }
    };
    return findBar_;
}

void TerminalView::layoutFindBar()
{
    if (findBar_ == nullptr) {
        return;
    }
    const int available = std::max(width() - 2 * findBarInset, 0);
    const int barWidth = std::min({findBar_->sizeHint().width(), findBarMaximumWidth, available});
    findBar_->setGeometry(width() - findBarInset - barWidth, findBarInset, barWidth,
                          findBar_->sizeHint().height());
}

void TerminalView::showFindBar(bool useSelection)
{
    TerminalFindBarView *bar = ensureFindBar();
    bar->show();
    bar->raise();
    layoutFindBar();

    std::optional<std::string> term;
    if (useSelection) {
        if (std::string selected = activeSelectionText(); !selected.empty()) {
            term = std::move(selected);
        }
    }
    if (!term) {
        term = findPasteboardString();
    }
    if (term) {
        {
            // The field reports typing, not this: the search below runs once.
            const QSignalBlocker quiet(bar->searchField());
            bar->setSearchText(*term);
        }
        updateFindBarSearch(*term);
    }
    bar->searchField()->setFocus(Qt::OtherFocusReason);
    bar->searchField()->selectAll();
}

void TerminalView::hideFindBar()
{
    if (findBar_ != nullptr) {
        findBar_->hide();
    }
    setFocus(Qt::OtherFocusReason);
}

void TerminalView::updateFindBarSearch(const std::string &text)
{
    findBarTerm_ = text;
    if (text.empty()) {
        clearSearch();
        return;
    }
    FindPasteboard::setString(text);
    findNext(text, findBarOptions_, true);
}

void TerminalView::handleFindBarOptionsChanged(const SearchOptions &options)
{
    findBarOptions_ = options;
    if (!findBarTerm_.empty()) {
        findNext(findBarTerm_, options, true);
    }
}

void TerminalView::findAgain(bool forward)
{
    const bool barShows = findBar_ != nullptr && !findBar_->isHidden();
    const std::optional<std::string> term = barShows ? findBar_->searchText() : findPasteboardString();
    if (!term || term->empty()) {
        return;
    }
    FindPasteboard::setString(*term);
    const SearchOptions options = findBar_ != nullptr ? findBar_->options() : SearchOptions{};
    if (forward) {
        findNext(*term, options, true);
    } else {
        findPrevious(*term, options, true);
    }
}

void TerminalView::useSelectionForFind()
{
    if (const std::string selected = activeSelectionText(); !selected.empty()) {
        FindPasteboard::setString(selected);
    }
}

bool TerminalView::findNext(std::string_view term, const SearchOptions &options, bool scrollToResult)
{
    return find(term, options, scrollToResult, true);
}

bool TerminalView::findPrevious(std::string_view term, const SearchOptions &options, bool scrollToResult)
{
    return find(term, options, scrollToResult, false);
}

bool TerminalView::find(std::string_view term, const SearchOptions &options, bool scrollToResult,
                        bool forward)
{
    SelectionService *selection = this->selection();
    if (!search_ || selection == nullptr) {
        return false;
    }
    // The search goes on from what is selected now, whoever selected it.
    if (selection->active()) {
        const Position start = selection->start();
        const Position end = selection->end();
        const bool inOrder = Position::compare(start, end) != Position::compareResult::after;
        search_->lastSelection = SearchSelection{inOrder ? start : end, inOrder ? end : start};
    } else {
        search_->lastSelection.reset();
    }
    const std::optional<SearchResult> result =
        forward ? search_->findNext(term, options) : search_->findPrevious(term, options);
    if (!result) {
        clearSearchSelection();
        return false;
    }
    const Position start{result->col, result->row};
    Position end = start;
    if (result->size > 0) {
        const int64_t columns = std::max<int64_t>(terminal_->cols, 1);
        const int64_t cell = result->row * columns + result->col + result->size;
        end = {cell % columns, cell / columns};
    }
    // A match that ends the last line would end on a row that does not exist: it ends on the last
    // column of its own row instead.
    const int64_t lastLine = std::max<int64_t>(terminal_->buffer->lines().count() - 1, 0);
    if (end.row > lastLine) {
        end = {std::max<int64_t>(terminal_->cols - 1, 0), lastLine};
    }
    selection->setSelection(start, end);
    if (scrollToResult) {
        scrollToShowRow(result->row);
    }
    return true;
}

void TerminalView::scrollToShowRow(int64_t row)
{
    const Terminal &t = *terminal_;
    if (t.rows <= 0 || t.isAlternateBufferActive()) {
        return;
    }
    const int64_t top = t.buffer->yDisp();
    if (row >= top && row <= top + t.rows - 1) {
        return;
    }
    const int64_t highest = std::max<int64_t>(t.buffer->lines().count() - t.rows, 0);
    scrollTo(std::clamp<int64_t>(row - t.rows / 2, 0, highest), true);
}

void TerminalView::clearSearch()
{
    if (search_) {
        search_->reset();
    }
    clearSearchSelection();
}

void TerminalView::clearSearchSelection()
{
    SelectionService *selection = this->selection();
    if (selection == nullptr || !selection->active()) {
        return;
    }
    selection->setActive(false);
    selection->setSelectionMode(SelectionService::SelectionMode::character);
    selection->setWordSelectionAnchor(std::nullopt);
}

std::string TerminalView::activeSelectionText() const
{
    const SelectionService *selection = this->selection();
    return selection != nullptr && selection->active() ? selection->selectedText() : std::string();
}

std::pair<int64_t, int64_t> TerminalView::searchMatchPosition(std::string_view term,
                                                              const SearchOptions &options, int64_t limit)
{
    if (!search_) {
        return {0, 0};
    }
    const std::vector<SearchResult> matches = search_->findAll(term, options, limit);
    const auto count = static_cast<int64_t>(matches.size());
    if (!search_->lastResult) {
        return {0, count};
    }
    const auto found = std::ranges::find(matches, *search_->lastResult);
    return {found == matches.end() ? 0 : found - matches.begin() + 1, count};
}

} // namespace kestrix
