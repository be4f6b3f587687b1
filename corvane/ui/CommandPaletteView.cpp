#include "corvane/ui/CommandPaletteView.h"

#include "corvane/catalogue/CommandSnippet.h"
#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/CanonicalText.h"
#include "corvane/ui/CommandPaletteModel.h"
#include "corvane/ui/CommandPaletteRow.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {
namespace {

constexpr int searchBarPadding = 14;
constexpr int searchBarSpacing = 8;
constexpr int searchSymbolSize = 16;
constexpr int queryPixelSize = 15;
// The query shown in the no-results title is cut to this width so a pasted page stays one line.
constexpr int noResultsQueryWidth = 360;

template <class Model, class Text>
std::vector<std::shared_ptr<Model>> sortedBy(std::vector<std::shared_ptr<Model>> models, Text text)
{
    std::stable_sort(models.begin(), models.end(),
                     [&text](const auto &a, const auto &b) { return canonicallyLess(text(*a), text(*b)); });
    return models;
}

} // namespace

CommandPaletteView::CommandPaletteView(ModelContext &modelContext, SessionManager &sessionManager,
                                       QWidget *parent)
    : QDialog(parent)
    , modelContext_(modelContext)
    , sessionManager_(sessionManager)
    , model_(new CommandPaletteModel(this))
    , list_(new QListView(this))
{
    setWindowTitle(tr("Command Palette"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(sheetSize);
    // One surface from the search bar down, the list's colour, whether results show or not.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeSearchBar());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    list_->setModel(model_);
    list_->setItemDelegate(new CommandPaletteRow(*model_, list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setUniformItemSizes(false);
    list_->setMouseTracking(true);
    // Typing always goes to the search field; the list follows it.
    list_->setFocusPolicy(Qt::NoFocus);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex &index) { chooseRow(index.row()); });
    layout->addWidget(list_, 1);
    layout->addWidget(makeNoResultsView(), 1);

    connect(&modelContext_, &ModelContext::changed, this, [this] {
        reloadStore();
        showResults(true);
    });
    reloadStore();
    showResults(false);
    searchField_->setFocus(Qt::OtherFocusReason);
}

CommandPaletteView::~CommandPaletteView() = default;

QWidget *CommandPaletteView::makeSearchBar()
{
    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(searchBarPadding, searchBarPadding, searchBarPadding, searchBarPadding);
    row->setSpacing(searchBarSpacing);
    row->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), systemcolors::secondaryText(),
                                  searchSymbolSize, bar),
                   0, Qt::AlignVCenter);

    searchField_ = new QLineEdit(bar);
    searchField_->setObjectName(QStringLiteral("query"));
    searchField_->setPlaceholderText(placeholder());
    searchField_->setFrame(false);
    searchField_->setFont(sizedFont(font(), queryPixelSize));
    searchField_->setAttribute(Qt::WA_MacShowFocusRect, false);
    searchField_->installEventFilter(this);
    QPalette plain = searchField_->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    searchField_->setPalette(plain);
    row->addWidget(searchField_, 1, Qt::AlignVCenter);

    clearButton_ = new QToolButton(bar);
    clearButton_->setObjectName(QStringLiteral("clearQuery"));
    clearButton_->setIcon(symbols::icon(QStringLiteral("xmark.circle.fill"), systemcolors::secondaryText()));
    clearButton_->setToolTip(tr("Clear"));
    clearButton_->setAutoRaise(true);
    clearButton_->setFocusPolicy(Qt::NoFocus);
    clearButton_->hide();
    row->addWidget(clearButton_, 0, Qt::AlignVCenter);

    connect(searchField_, &QLineEdit::textChanged, this, [this] { showResults(false); });
    connect(searchField_, &QLineEdit::returnPressed, this, &CommandPaletteView::connectHighlightedResult);
    connect(clearButton_, &QToolButton::clicked, searchField_, &QLineEdit::clear);
    return bar;
}

QWidget *CommandPaletteView::makeNoResultsView()
{
    noResults_ = new QWidget(this);
    auto *column = new QVBoxLayout(noResults_);
    column->addStretch(1);
    column->addWidget(
        new SymbolView(QStringLiteral("magnifyingglass"), systemcolors::tertiaryText(), 36, noResults_), 0,
        Qt::AlignHCenter);
    noResultsLabel_ = plainLabel(QString(), sizedFont(font(), 17, QFont::Bold), noResults_);
    noResultsLabel_->setObjectName(QStringLiteral("noResultsTitle"));
    noResultsLabel_->setAlignment(Qt::AlignCenter);
    column->addWidget(noResultsLabel_);
    QLabel *description = plainLabel(noResultsDescription(), sizedFont(font(), 13), noResults_, true);
    description->setAlignment(Qt::AlignCenter);
    description->setWordWrap(true);
    column->addWidget(description);
    column->addStretch(1);
    noResults_->hide();
    return noResults_;
}

QString CommandPaletteView::placeholder()
{
    return tr("Connect to server, run snippet…");
}

CommandPaletteView::Profiles CommandPaletteView::profilesByName(ModelContext &context)
{
    return sortedBy(context.fetch<ServerProfile>(),
                    [](const ServerProfile &profile) -> const QString & { return profile.displayName(); });
}

CommandPaletteView::Snippets CommandPaletteView::snippetsByTitle(ModelContext &context)
{
    return sortedBy(context.fetch<CommandSnippet>(),
                    [](const CommandSnippet &snippet) -> const QString & { return snippet.title(); });
}

CommandPaletteView::Profiles CommandPaletteView::filteredProfiles(const Profiles &profiles,
                                                                  const QString &query)
{
    Profiles result;
    if (!query.isEmpty()) {
        std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(result),
                     [&query](const auto &profile) { return profile->matches(query); });
        return result;
    }
    // A favourite that was also connected is listed once, among the favourites.
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(result),
                 [](const auto &profile) { return profile->isFavorite(); });
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(result), [](const auto &profile) {
        return !profile->isFavorite() && profile->lastConnected().has_value();
    });
    return result;
}

CommandPaletteView::Snippets CommandPaletteView::filteredSnippets(const Snippets &snippets,
                                                                  const QString &query)
{
    Snippets result;
    if (query.isEmpty()) {
        return result;
    }
    const QString needle = query.toLower();
    std::copy_if(snippets.begin(), snippets.end(), std::back_inserter(result),
                 [&needle](const auto &snippet) {
                     return snippet->title().toLower().contains(needle) ||
                            snippet->command().toLower().contains(needle);
                 });
    return result;
}

QString CommandPaletteView::noResultsTitle(const QString &query)
{
    if (query.isEmpty()) {
        return tr("No Results");
    }
    return tr("No Results for “%1”").arg(query);
}

QString CommandPaletteView::noResultsDescription()
{
    return tr("Check the spelling or try a new search.");
}

CommandPaletteView::Profiles CommandPaletteView::filteredProfiles() const
{
    return filteredProfiles(profiles_, query());
}

CommandPaletteView::Snippets CommandPaletteView::filteredSnippets() const
{
    return filteredSnippets(snippets_, query());
}

QString CommandPaletteView::query() const
{
    return searchField_->text();
}

bool CommandPaletteView::isShowingNoResults() const
{
    return !noResults_->isHidden();
}

std::shared_ptr<ServerProfile> CommandPaletteView::highlightedProfile() const
{
    return model_->profileAt(list_->currentIndex().row());
}

void CommandPaletteView::connectProfile(const std::shared_ptr<ServerProfile> &profile)
{
    if (!profile) {
        return;
    }
    emit selectedProfileChanged(profile->id());
    // Always a new session, even when the server has one already.
    sessionManager_.openSession(profile);
    accept();
}

void CommandPaletteView::connectFirstResult()
{
    const Profiles results = filteredProfiles();
    if (!results.empty()) {
        connectProfile(results.front());
    }
}

void CommandPaletteView::connectHighlightedResult()
{
    if (const std::shared_ptr<ServerProfile> profile = highlightedProfile()) {
        connectProfile(profile);
    } else {
        connectFirstResult();
    }
}

void CommandPaletteView::chooseRow(int row)
{
    // Headings and snippets offer nothing to choose.
    if (const std::shared_ptr<ServerProfile> profile = model_->profileAt(row)) {
        connectProfile(profile);
    }
}

void CommandPaletteView::reloadStore()
{
    profiles_ = profilesByName(modelContext_);
    snippets_ = snippetsByTitle(modelContext_);
}

void CommandPaletteView::showResults(bool keepHighlight)
{
    // A new query starts at the top; a change in the store keeps the server the user is on.
    const std::shared_ptr<ServerProfile> highlighted = keepHighlight ? highlightedProfile() : nullptr;
    const QString text = query();
    model_->setResults(filteredProfiles(), filteredSnippets());
    const int kept = highlighted ? model_->rowOfProfile(highlighted->id()) : -1;
    highlightRow(kept >= 0 ? kept : model_->firstServerRow());

    const bool empty = model_->isEmpty();
    list_->setVisible(!empty);
    noResults_->setVisible(empty);
    if (empty) {
        const QString shownQuery =
            noResultsLabel_->fontMetrics().elidedText(text, Qt::ElideRight, noResultsQueryWidth);
        noResultsLabel_->setText(noResultsTitle(shownQuery));
    }
    clearButton_->setVisible(!text.isEmpty());
}

void CommandPaletteView::highlightRow(int row)
{
    if (!model_->profileAt(row)) {
        list_->setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = model_->index(row);
    list_->setCurrentIndex(index);
    list_->scrollTo(index);
}

void CommandPaletteView::moveHighlight(int steps)
{
    const int first = model_->firstServerRow();
    if (first < 0) {
        return;
    }
    const int last = first + int(model_->profiles().size()) - 1;
    const int current = std::max(list_->currentIndex().row(), first);
    highlightRow(std::clamp(current + steps, first, last));
    // Above the first server the heading stays in view.
    if (list_->currentIndex().row() == first) {
        list_->scrollToTop();
    }
}

int CommandPaletteView::serversPerPage() const
{
    const int first = model_->firstServerRow();
    const int rowHeight = first < 0 ? 0 : list_->sizeHintForRow(first);
    return std::max(1, list_->viewport()->height() / std::max(1, rowHeight));
}

bool CommandPaletteView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == searchField_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Down:
            moveHighlight(1);
            return true;
        case Qt::Key_Up:
            moveHighlight(-1);
            return true;
        case Qt::Key_PageDown:
            moveHighlight(serversPerPage());
            return true;
        case Qt::Key_PageUp:
            moveHighlight(-serversPerPage());
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CommandPaletteView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    searchField_->setFocus(Qt::OtherFocusReason);
}

} // namespace corvane
