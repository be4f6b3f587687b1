#include "corvane/ui/CommandPaletteModel.h"

#include "corvane/catalogue/CommandSnippet.h"
#include "corvane/catalogue/ServerProfile.h"

namespace corvane {

CommandPaletteModel::CommandPaletteModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

QString CommandPaletteModel::serversTitle()
{
    return tr("Servers");
}

QString CommandPaletteModel::snippetsTitle()
{
    return tr("Snippets");
}

void CommandPaletteModel::setResults(Profiles profiles, Snippets snippets)
{
    beginResetModel();
    profiles_ = std::move(profiles);
    snippets_ = std::move(snippets);
    endResetModel();
}

// Rows: [heading, servers...] when there are servers, then [heading, snippets...] when there
// are snippets.
int CommandPaletteModel::snippetsHeadingRow() const
{
    return profiles_.empty() ? 0 : int(profiles_.size()) + 1;
}

int CommandPaletteModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid()) {
        return 0;
    }
    return snippetsHeadingRow() + (snippets_.empty() ? 0 : int(snippets_.size()) + 1);
}

CommandPaletteModel::RowKind CommandPaletteModel::kindAt(int row) const
{
    const int snippetsHeading = snippetsHeadingRow();
    if (row < snippetsHeading) {
        return row == 0 ? RowKind::serversHeading : RowKind::server;
    }
    return row == snippetsHeading ? RowKind::snippetsHeading : RowKind::snippet;
}

std::shared_ptr<ServerProfile> CommandPaletteModel::profileAt(int row) const
{
    if (row < 0 || row >= rowCount() || kindAt(row) != RowKind::server) {
        return nullptr;
    }
    return profiles_[size_t(row - 1)];
}

std::shared_ptr<CommandSnippet> CommandPaletteModel::snippetAt(int row) const
{
    if (row < 0 || row >= rowCount() || kindAt(row) != RowKind::snippet) {
        return nullptr;
    }
    return snippets_[size_t(row - snippetsHeadingRow() - 1)];
}

int CommandPaletteModel::rowOfProfile(const QUuid &id) const
{
    for (size_t index = 0; index < profiles_.size(); ++index) {
        if (profiles_[index]->id() == id) {
            return int(index) + 1;
        }
    }
    return -1;
}

int CommandPaletteModel::firstServerRow() const
{
    return profiles_.empty() ? -1 : 1;
}

QVariant CommandPaletteModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) {
        return {};
    }
    switch (kindAt(index.row())) {
    case RowKind::serversHeading:
        return serversTitle();
    case RowKind::server:
        return profileAt(index.row())->displayName();
    case RowKind::snippetsHeading:
        return snippetsTitle();
    case RowKind::snippet:
        return snippetAt(index.row())->title();
    }
    return {};
}

Qt::ItemFlags CommandPaletteModel::flags(const QModelIndex &index) const
{
    // Headings and snippets are shown, never chosen: a click on them does nothing at all.
    if (profileAt(index.row())) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    return Qt::NoItemFlags;
}

} // namespace corvane
