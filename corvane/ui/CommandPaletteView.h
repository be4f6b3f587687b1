#pragma once

#include <QDialog>
#include <QSize>
#include <QUuid>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QToolButton;

namespace corvane {

class CommandPaletteModel;
class CommandSnippet;
class ModelContext;
class ServerProfile;
class SessionManager;

// A sheet that finds servers and saved snippets by text. Choosing a server, or pressing Return
// in the search field, selects that server in the window, opens a new session to it and
// closes the sheet. Snippets are listed for reference only. Up and Down in the search field
// move the highlight among the servers; Return chooses the highlighted one, which is the first
// until the user moves it. Escape closes the sheet.
class CommandPaletteView : public QDialog {
    Q_OBJECT

public:
    using Profiles = std::vector<std::shared_ptr<ServerProfile>>;
    using Snippets = std::vector<std::shared_ptr<CommandSnippet>>;

    static constexpr QSize sheetSize{520, 400};

    CommandPaletteView(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent = nullptr);
    ~CommandPaletteView() override;

    static QString placeholder();
    // Every profile by name, every snippet by title; equal texts keep the store's order.
    static Profiles profilesByName(ModelContext &context);
    static Snippets snippetsByTitle(ModelContext &context);
    // With no query: the favourites, then the other profiles that were ever connected. With a
    // query (blanks count): the profiles that match it. Order is kept in both cases.
    static Profiles filteredProfiles(const Profiles &profiles, const QString &query);
    // Nothing with no query; else the snippets whose title or command contains it, ignoring case.
    static Snippets filteredSnippets(const Snippets &snippets, const QString &query);
    static QString noResultsTitle(const QString &query);
    static QString noResultsDescription();

    Profiles filteredProfiles() const;
    Snippets filteredSnippets() const;
    void connectProfile(const std::shared_ptr<ServerProfile> &profile);
    // Connects the first server listed; with none, nothing happens and the sheet stays.
    void connectFirstResult();

    QString query() const;
    QLineEdit &searchField() const { return *searchField_; }
    QToolButton &clearButton() const { return *clearButton_; }
    QListView &list() const { return *list_; }
    const CommandPaletteModel &model() const { return *model_; }
    bool isShowingNoResults() const;
    QLabel &noResultsLabel() const { return *noResultsLabel_; }
    // The highlighted server, which Return chooses; empty when no server is listed.
    std::shared_ptr<ServerProfile> highlightedProfile() const;

signals:
    // The user chose a server: the window selects it.
    void selectedProfileChanged(const QUuid &id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *makeSearchBar();
    QWidget *makeNoResultsView();
    void reloadStore();
    void showResults(bool keepHighlight);
    void highlightRow(int row);
    void moveHighlight(int steps);
    int serversPerPage() const;
    void chooseRow(int row);
    void connectHighlightedResult();

    ModelContext &modelContext_;
    SessionManager &sessionManager_;
    Profiles profiles_;
    Snippets snippets_;
    QLineEdit *searchField_ = nullptr;
    QToolButton *clearButton_ = nullptr;
    CommandPaletteModel *model_;
    QListView *list_;
    QWidget *noResults_ = nullptr;
    QLabel *noResultsLabel_ = nullptr;
};

} // namespace corvane
