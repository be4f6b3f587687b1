#include "corvane/ui/SidebarView.h"

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/CanonicalText.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/ProfileQuery.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {
namespace {

constexpr int titleColumn = 0;
constexpr int badgeColumn = 1;
constexpr int itemRole = Qt::UserRole + 1;    // index into rowItems_
constexpr int sectionRole = Qt::UserRole + 2; // which section a header opens

struct EnvironmentRow {
    ServerEnvironment environment;
    const char *symbol;
};

constexpr EnvironmentRow environmentRows[] = {
    {ServerEnvironment::production, "server.rack"},
    {ServerEnvironment::staging, "cpu"},
    {ServerEnvironment::development, "hammer"},
    {ServerEnvironment::testing, "testtube.2"},
};

QStringList distinctSorted(QStringList names)
{
    for (QString &name : names) {
        name = canonicalText(name);
    }
    std::sort(names.begin(), names.end(), canonicallyLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace

SidebarView::SidebarView(ModelContext &modelContext, QWidget *parent)
    : QWidget(parent)
    , modelContext_(modelContext)
    , layout_(new QVBoxLayout(this))
    , titleLabel_(new QLabel(title(), this))
    , list_(new QTreeWidget(this))
{
    layout_->setContentsMargins(8, 10, 8, 8);
    layout_->setSpacing(8);
    QFont titleFont = titleLabel_->font();
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::Bold);
    titleLabel_->setFont(titleFont);
    titleLabel_->setTextFormat(Qt::PlainText);
    layout_->addWidget(titleLabel_);

    list_->setColumnCount(2);
    list_->setHeaderHidden(true);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(titleColumn, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(badgeColumn, QHeaderView::ResizeToContents);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setRootIsDecorated(true);
    list_->setIndentation(12);
    list_->setUniformRowHeights(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout_->addWidget(list_, 1);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &SidebarView::takeSelectionFromList);
    connect(list_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem *row) { rememberExpansion(row, true); });
    connect(list_, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem *row) { rememberExpansion(row, false); });
    connect(&modelContext_, &ModelContext::changed, this, &SidebarView::rebuild);
    rebuild();
}

void SidebarView::setSearchField(QWidget *field)
{
    layout_->insertWidget(1, field);
}

void SidebarView::setSelection(const SidebarSelection &selection)
{
    if (selection_ == selection) {
        return;
    }
    selection_ = selection;
    showSelection();
    emit selectionChanged();
}

int SidebarView::count(const SidebarItem &item, const Profiles &profiles)
{
    return int(std::count_if(profiles.begin(), profiles.end(),
                             [&item](const auto &profile) { return item.includes(*profile); }));
}

int SidebarView::favoriteCount(const Profiles &profiles)
{
    return count(SidebarItem::favorites(), profiles);
}

QStringList SidebarView::groupNames(const Profiles &profiles)
{
    QStringList names;
    for (const auto &profile : profiles) {
        names.append(profile->clientGroup());
    }
    return distinctSorted(std::move(names));
}

QStringList SidebarView::tagNames(const Profiles &profiles)
{
    QStringList names;
    for (const auto &profile : profiles) {
        names.append(profile->tags());
    }
    return distinctSorted(std::move(names));
}

QTreeWidgetItem *SidebarView::addRow(QTreeWidgetItem *parent, const QString &title, const QString &symbol,
                                     const SidebarItem &item, int badge, const QColor &tint)
{
    auto *row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(list_);
    row->setText(titleColumn, title);
    const QColor symbolColor = tint.isValid() ? tint : palette().color(QPalette::Text);
    row->setIcon(titleColumn, symbols::icon(symbol, symbolColor));
    if (tint.isValid()) {
        row->setForeground(titleColumn, tint);
    }
    if (badge > 0) {
        row->setText(badgeColumn, QString::number(badge));
        row->setForeground(badgeColumn, systemcolors::secondaryText());
        row->setTextAlignment(badgeColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    row->setData(titleColumn, itemRole, int(rowItems_.size()));
    rowItems_.push_back(item);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return row;
}

QTreeWidgetItem *SidebarView::addSection(const QString &title, Section section)
{
    auto *header = new QTreeWidgetItem(list_);
    header->setText(titleColumn, title);
    QFont headerFont = list_->font();
    headerFont.setWeight(QFont::DemiBold);
    headerFont.setPixelSize(11);
    header->setFont(titleColumn, headerFont);
    header->setForeground(titleColumn, systemcolors::secondaryText());
    header->setData(titleColumn, sectionRole, int(section));
    header->setFlags(Qt::ItemIsEnabled);
    header->setFirstColumnSpanned(true);
    return header;
}

void SidebarView::rebuild()
{
    const Profiles profiles = profilesBySortOrder(modelContext_);
    rebuilding_ = true;
    const int scrolled = list_->verticalScrollBar()->value();
    list_->clear();
    rowItems_.clear();

    addRow(nullptr, tr("All Servers"), QStringLiteral("server.rack"), SidebarItem::allServers(),
           int(profiles.size()));
    addRow(nullptr, tr("Favorites"), QStringLiteral("star"), SidebarItem::favorites(),
           favoriteCount(profiles));

    const QStringList groups = groupNames(profiles);
    if (groups.size() >= 2) {
        QTreeWidgetItem *section = addSection(tr("Groups"), Section::groups);
        for (const QString &group : groups) {
            const SidebarItem item = SidebarItem::clientGroup(group);
            addRow(section, group, QStringLiteral("folder"), item, count(item, profiles));
        }
        section->setExpanded(expandedGroups_);
    }

    QTreeWidgetItem *environments = addSection(tr("Environment"), Section::environments);
    for (const EnvironmentRow &row : environmentRows) {
        const SidebarItem item = SidebarItem::environment(row.environment);
        addRow(environments, corvane::title(row.environment), QString::fromLatin1(row.symbol), item,
               count(item, profiles), EnvironmentBadge::color(row.environment));
    }
    environments->setExpanded(expandedEnvironments_);

    const QStringList tags = tagNames(profiles);
    if (!tags.isEmpty()) {
        QTreeWidgetItem *section = addSection(tr("Tags"), Section::tags);
        for (const QString &tag : tags) {
            const SidebarItem item = SidebarItem::tag(tag);
            addRow(section, tag, QStringLiteral("tag"), item, count(item, profiles));
        }
        section->setExpanded(expandedTags_);
    }

    rebuilding_ = false;
    showSelection();
    list_->verticalScrollBar()->setValue(scrolled);
}

QTreeWidgetItem *SidebarView::rowFor(const SidebarItem &item) const
{
    for (QTreeWidgetItemIterator it(list_); *it; ++it) {
        if (itemOf(*it) == item) {
            return *it;
        }
    }
    return nullptr;
}

SidebarSelection SidebarView::itemOf(const QTreeWidgetItem *row) const
{
    const QVariant index = row ? row->data(titleColumn, itemRole) : QVariant();
    if (!index.isValid() || index.toInt() < 0 || size_t(index.toInt()) >= rowItems_.size()) {
        return std::nullopt;
    }
    return rowItems_[size_t(index.toInt())];
}

void SidebarView::showSelection()
{
    QTreeWidgetItem *row = selection_ ? rowFor(*selection_) : nullptr;
    const bool wasRebuilding = rebuilding_;
    rebuilding_ = true;
    list_->clearSelection();
    if (row) {
        row->setSelected(true);
        list_->setCurrentItem(row, titleColumn, QItemSelectionModel::NoUpdate);
    }
    rebuilding_ = wasRebuilding;
}

void SidebarView::takeSelectionFromList()
{
    if (rebuilding_) {
        return;
    }
    const QList<QTreeWidgetItem *> selected = list_->selectedItems();
    const SidebarSelection item = selected.isEmpty() ? std::nullopt : itemOf(selected.front());
    // Only choosing a row changes the selection; losing the highlight never clears it.
    if (item && !(selection_ == item)) {
        selection_ = item;
        emit selectionChanged();
    }
}

void SidebarView::rememberExpansion(QTreeWidgetItem *row, bool expanded)
{
    if (rebuilding_) {
        return;
    }
    const QVariant section = row->data(titleColumn, sectionRole);
    if (!section.isValid()) {
        return;
    }
    switch (Section(section.toInt())) {
    case Section::groups:
        expandedGroups_ = expanded;
        break;
    case Section::environments:
        expandedEnvironments_ = expanded;
        break;
    case Section::tags:
        expandedTags_ = expanded;
        break;
    }
}

} // namespace corvane
