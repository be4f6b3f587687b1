#pragma once

#include "corvane/catalogue/SSHConfigParser.h"
#include "corvane/catalogue/ServerEnvironment.h"

#include <QDialog>
#include <QSet>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QCheckBox;
class QComboBox;
class QItemSelection;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace corvane {

class ModelContext;

// The sheet that turns the host entries of an ssh client configuration into server profiles.
// It reads ~/.ssh/config when it first comes on screen; the user may load another file, pick
// some or all hosts, and give the new profiles a group and an environment.
class SSHConfigImportView : public QDialog {
    Q_OBJECT

public:
    using RawHost = SSHConfigParser::RawHost;

    // Where the hosts come from. Both run on a background thread, so they must not touch
    // anything the main thread uses; a read failure throws.
    struct ConfigLoader {
        std::function<std::vector<RawHost>()> loadDefault;
        std::function<std::vector<RawHost>(const QString &path)> loadFile;

        static ConfigLoader standard();
    };

    // Item data of a host row beside its alias (the display text).
    static constexpr int hostLineRole = Qt::UserRole + 1; // the host name, or who resolves it
    static constexpr int userRole = Qt::UserRole + 2;

    // What the content area shows, in order of precedence.
    enum class ContentState { loading, failed, listed, empty };

    explicit SSHConfigImportView(ModelContext &modelContext, QWidget *parent = nullptr,
                                 ConfigLoader loader = ConfigLoader::standard());
    ~SSHConfigImportView() override;

    void loadDefaultConfig();
    // The paths the file chooser returned; an empty list (cancelled) changes nothing.
    void handleConfigFileImport(const QStringList &paths);
    void loadConfigFile(const QString &path);
    // Inserts a profile for each chosen host, saves, and closes the sheet.
    void importSelected();

    const std::vector<RawHost> &rawHosts() const { return rawHosts_; }
    const QSet<QString> &selectedAliases() const { return selectedAliases_; }
    bool isLoading() const { return isLoading_; }
    const std::optional<QString> &loadError() const { return loadError_; }
    ContentState contentState() const;
    // The listed hosts the import button would turn into profiles: the selected ones, or all,
    // without those that cannot be imported (patterns, option-like values, impossible ports).
    std::vector<RawHost> hostsToImport() const;
    // The number on the import button: exactly the profiles an import would make.
    int64_t importCount() const;
    QString importButtonTitle() const;

signals:
    // A load's result has been applied (or it failed); for anyone waiting on it.
    void loadFinished();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct LoadHandoff;
    using LoadResult = std::variant<std::vector<RawHost>, QString>;
    enum class LoadKind { defaultConfig, chosenFile };

    void buildLayout();
    QWidget *buildOptions();
    QWidget *buildLoadingPage();
    QWidget *buildHostList();
    void startLoad(std::function<std::vector<RawHost>()> load, LoadKind kind);
    void finishLoad(uint64_t generation, LoadKind kind, LoadResult result);
    void fillHostList();
    void showSelectionInList();
    void listSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void chooseConfigFile();
    void updateContent();

    ModelContext &modelContext_;
    ConfigLoader loader_;
    SSHConfigParser parser_;
    std::shared_ptr<LoadHandoff> handoff_;
    uint64_t loadGeneration_ = 0;
    bool hasLoadedOnShow_ = false;
    bool syncingSelection_ = false; // the list is being made to show the set

    std::vector<RawHost> rawHosts_;
    QSet<QString> selectedAliases_;
    QString clientGroup_ = QStringLiteral("General");
    ServerEnvironment environment_ = ServerEnvironment::development;
    bool useSSHG_ = true; // shown and kept, but nothing reads it yet
    bool isLoading_ = false;
    std::optional<QString> loadError_;

    QLineEdit *clientGroupField_ = nullptr;
    QComboBox *environmentPicker_ = nullptr;
    QCheckBox *useSSHGToggle_ = nullptr;
    QStackedWidget *content_ = nullptr;
    QWidget *loadingPage_ = nullptr;
    QWidget *errorPage_ = nullptr;
    QLabel *errorDescription_ = nullptr;
    QListWidget *hostList_ = nullptr;
    QWidget *emptyPage_ = nullptr;
    QPushButton *importButton_ = nullptr;
};

} // namespace corvane
