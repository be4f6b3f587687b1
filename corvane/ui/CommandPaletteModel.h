#pragma once

#include <QAbstractListModel>
#include <QUuid>

#include <memory>
#include <vector>

namespace corvane {

class CommandSnippet;
class ServerProfile;

// The rows of the command palette's list: a "Servers" heading over one row per server, then a
// "Snippets" heading over one row per snippet. A section without entries has no heading. Only
// server rows can be chosen.
class CommandPaletteModel : public QAbstractListModel {
    Q_OBJECT

public:
    using Profiles = std::vector<std::shared_ptr<ServerProfile>>;
    using Snippets = std::vector<std::shared_ptr<CommandSnippet>>;

    enum class RowKind { serversHeading, server, snippetsHeading, snippet };

    explicit CommandPaletteModel(QObject *parent = nullptr);

    static QString serversTitle();
    static QString snippetsTitle();

    void setResults(Profiles profiles, Snippets snippets);
    const Profiles &profiles() const { return profiles_; }
    const Snippets &snippets() const { return snippets_; }
    bool isEmpty() const { return profiles_.empty() && snippets_.empty(); }

    RowKind kindAt(int row) const;
    // The server or snippet of a row; empty for any other kind of row.
    std::shared_ptr<ServerProfile> profileAt(int row) const;
    std::shared_ptr<CommandSnippet> snippetAt(int row) const;
    // The row of the server with the id, or -1.
    int rowOfProfile(const QUuid &id) const;
    // The first server row, or -1 when no server is listed.
    int firstServerRow() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    int snippetsHeadingRow() const;

    Profiles profiles_;
    Snippets snippets_;
};

} // namespace corvane
