#pragma once

#include "corvane/ui/SidebarItem.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace corvane {

class ModelContext;
class ServerProfile;

// The first column of the main window: every server, the favourites, the client groups (when
// there are two or more), the environments and the tags, each with the number of servers it
// stands for. Choosing a row sets the window's selection; the sidebar never clears it.
class SidebarView : public QWidget {
    Q_OBJECT

public:
    using Profiles = std::vector<std::shared_ptr<ServerProfile>>;

    explicit SidebarView(ModelContext &modelContext, QWidget *parent = nullptr);

    static QString title() { return QStringLiteral("Calvero"); }

    const SidebarSelection &selection() const { return selection_; }
    // Shows the selection; a value with no row (a group that has gone) is kept as it is.
    void setSelection(const SidebarSelection &selection);

    // Places the window's search field under the title.
    void setSearchField(QWidget *field);

    static int count(const SidebarItem &item, const Profiles &profiles);
    static int favoriteCount(const Profiles &profiles);
    // Distinct names, sorted by scalar value of their NFC text; the empty name is kept.
    static QStringList groupNames(const Profiles &profiles);
    static QStringList tagNames(const Profiles &profiles);

    QTreeWidget &list() const { return *list_; }
    // The row that stands for the item, or null.
    QTreeWidgetItem *rowFor(const SidebarItem &item) const;
    // The item a row stands for; none for a section header.
    SidebarSelection itemOf(const QTreeWidgetItem *row) const;

signals:
    void selectionChanged();

private:
    enum class Section { groups, environments, tags };

    void rebuild();
    QTreeWidgetItem *addRow(QTreeWidgetItem *parent, const QString &title, const QString &symbol,
                            const SidebarItem &item, int badge, const QColor &tint = {});
    QTreeWidgetItem *addSection(const QString &title, Section section);
    void showSelection();
    void takeSelectionFromList();
    void rememberExpansion(QTreeWidgetItem *row, bool expanded);

    ModelContext &modelContext_;
    SidebarSelection selection_ = SidebarItem::allServers();
    QVBoxLayout *layout_;
    QLabel *titleLabel_;
    QTreeWidget *list_;
    std::vector<SidebarItem> rowItems_; // indexed by the row's item role
    bool expandedGroups_ = true;
    bool expandedEnvironments_ = true;
    bool expandedTags_ = true;
    bool rebuilding_ = false;
};

} // namespace corvane
