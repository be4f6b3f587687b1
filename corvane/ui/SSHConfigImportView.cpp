#include "corvane/ui/SSHConfigImportView.h"

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/OptionLikeValue.h"
#include "corvane/ui/SaveFailureNotice.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QtMath>

#include <exception>
#include <limits>
#include <mutex>
#include <thread>

namespace corvane {

// Shared by the sheet and its background loads. The sheet clears `view` under the lock when
// it goes away, so a load that finishes later finds nobody to hand its result to. A result
// posted while the sheet still lived is discarded with the sheet's pending events.
struct SSHConfigImportView::LoadHandoff {
    std::mutex mutex;
    SSHConfigImportView *view = nullptr;
};

namespace {

constexpr QSize minimumSheetSize{540, 480};
constexpr int optionsHeight = 180;
constexpr int rowMargin = 6;
constexpr int rowLineSpacing = 2;

// Two points smaller than the body, whichever way the body font is sized.
QFont captionFont(const QFont &body)
{
    QFont caption = body;
    if (body.pointSizeF() > 0) {
        caption.setPointSizeF(std::max(1.0, body.pointSizeF() - 2));
    } else {
        caption.setPixelSize(std::max(1, body.pixelSize() - 2));
    }
    return caption;
}

QFont monospacedCaptionFont(const QFont &body)
{
    const QFont size = captionFont(body);
    QFont caption = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (size.pointSizeF() > 0) {
        caption.setPointSizeF(size.pointSizeF());
    } else {
        caption.setPixelSize(size.pixelSize());
    }
    return caption;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

// One host: the alias over its host name on the leading side, the user name on the trailing
// side. Painted text is never interpreted, whatever the file holds.
class HostRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QWidget *widget = item.widget;
        QStyle *style = widget ? widget->style() : nullptr;
        if (style) {
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);
        }
        const bool enabled = item.state & QStyle::State_Enabled;
        const bool selected = item.state & QStyle::State_Selected;
        const QPalette::ColorGroup group = enabled ? QPalette::Normal : QPalette::Disabled;
        const QColor primary =
            item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
        const QColor secondary = selected ? primary : withAlpha(primary, 0.6);
        const QColor tertiary = selected ? primary : withAlpha(primary, 0.35);

        const QRect area = item.rect.adjusted(rowMargin, rowMargin, -rowMargin, -rowMargin);
        const QFont caption = captionFont(item.font);
        const QString user = index.data(SSHConfigImportView::userRole).toString();
        int userWidth = 0;
        painter->save();
        if (!user.isEmpty()) {
            painter->setFont(caption);
            painter->setPen(tertiary);
            userWidth = std::min(qCeil(QFontMetricsF(caption).horizontalAdvance(user)), area.width() / 3);
            const QString shown = QFontMetrics(caption).elidedText(user, Qt::ElideRight, userWidth);
            painter->drawText(area, Qt::AlignRight | Qt::AlignVCenter, shown);
            userWidth += rowMargin;
        }
        const int leadingWidth = std::max(0, area.width() - userWidth);
        const QFontMetrics bodyMetrics(item.font);
        painter->setFont(item.font);
        painter->setPen(primary);
        painter->drawText(QRect(area.left(), area.top(), leadingWidth, bodyMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          bodyMetrics.elidedText(item.text, Qt::ElideRight, leadingWidth));
        const QFont hostFont = monospacedCaptionFont(item.font);
        const QFontMetrics hostMetrics(hostFont);
        painter->setFont(hostFont);
        painter->setPen(secondary);
        painter->drawText(QRect(area.left(), area.top() + bodyMetrics.height() + rowLineSpacing, leadingWidth,
                                hostMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          hostMetrics.elidedText(index.data(SSHConfigImportView::hostLineRole).toString(),
                                                 Qt::ElideRight, leadingWidth));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        const int height = QFontMetrics(option.font).height() + rowLineSpacing +
                           QFontMetrics(monospacedCaptionFont(option.font)).height() + 2 * rowMargin;
        return {option.rect.width(), height};
    }
};

// A centred panel that says why there is nothing to list and offers one way on.
QWidget *makeUnavailablePanel(const QIcon &icon, const QString &title, QLabel *description,
                              QPushButton *action)
{
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    layout->addStretch();
    auto *iconLabel = new QLabel;
    iconLabel->setPixmap(icon.pixmap(48, 48));
    iconLabel->setAlignment(Qt::AlignCenter);
    auto *titleLabel = new QLabel(title);
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont = titleLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleLabel->setFont(titleFont);
    description->setTextFormat(Qt::PlainText);
    description->setAlignment(Qt::AlignCenter);
    description->setWordWrap(true);
    action->setAutoDefault(false);
    layout->addWidget(iconLabel);
    layout->addWidget(titleLabel);
    layout->addWidget(description);
    layout->addWidget(action, 0, Qt::AlignCenter);
    layout->addStretch();
    return panel;
}

struct ImportProblem {
    QString shortText; // shown in the row
    QString fullText;  // its tool tip
};

// Why a listed host cannot become a profile, or nothing when it can.
std::optional<ImportProblem> importProblem(const SSHConfigParser::RawHost &host)
{
    if (SSHConfigParser::isHostPattern(host.alias)) {
        return ImportProblem{
            QStringLiteral("Not importable: a pattern"),
            QStringLiteral("“%1” is a pattern that matches hosts, not one server, so it can’t be imported.")
                .arg(host.alias)};
    }
    if (const std::optional<QString> problem = optionLikeValueProblem(host.alias, host.hostname, host.user)) {
        return ImportProblem{QStringLiteral("Not importable: begins with “-”"), *problem};
    }
    if (host.port < 1 || host.port > 65535) {
        return ImportProblem{
            QStringLiteral("Not importable: port %1").arg(host.port),
            QStringLiteral("The port %1 is not between 1 and 65535, so it can’t be imported.").arg(host.port)};
    }
    return std::nullopt;
}

bool isImportable(const SSHConfigParser::RawHost &host)
{
    return !importProblem(host);
}

} // namespace

SSHConfigImportView::ConfigLoader SSHConfigImportView::ConfigLoader::standard()
{
    return {[] { return SSHConfigParser().loadDefaultConfig(); },
            [](const QString &path) { return SSHConfigParser().loadConfigFile(path); }};
}

SSHConfigImportView::SSHConfigImportView(ModelContext &modelContext, QWidget *parent, ConfigLoader loader)
    : QDialog(parent)
    , modelContext_(modelContext)
    , loader_(std::move(loader))
    , handoff_(std::make_shared<LoadHandoff>())
{
    handoff_->view = this;
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Import from ~/.ssh/config"));
    setMinimumSize(minimumSheetSize);
    buildLayout();
    updateContent();
}

SSHConfigImportView::~SSHConfigImportView()
{
    const std::lock_guard lock(handoff_->mutex);
    handoff_->view = nullptr;
}

void SSHConfigImportView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildOptions());
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    content_ = new QStackedWidget;
    content_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    content_->addWidget(buildLoadingPage());

    errorDescription_ = new QLabel;
    errorDescription_->setObjectName(QStringLiteral("errorDescription"));
    auto *chooseFile = new QPushButton(QStringLiteral("Choose File…"));
    chooseFile->setObjectName(QStringLiteral("chooseFile"));
    connect(chooseFile, &QPushButton::clicked, this, &SSHConfigImportView::chooseConfigFile);
    errorPage_ = makeUnavailablePanel(style()->standardIcon(QStyle::SP_MessageBoxWarning),
                                      QStringLiteral("Cannot Read Config"), errorDescription_, chooseFile);
    errorPage_->setObjectName(QStringLiteral("errorPage"));
    content_->addWidget(errorPage_);

    content_->addWidget(buildHostList());

    auto *loadFromFile = new QPushButton(QStringLiteral("Load from File…"));
    loadFromFile->setObjectName(QStringLiteral("loadFromFile"));
    connect(loadFromFile, &QPushButton::clicked, this, &SSHConfigImportView::chooseConfigFile);
    emptyPage_ = makeUnavailablePanel(
        symbols::icon(QStringLiteral("server.rack"), systemcolors::secondaryText()),
        QStringLiteral("No Hosts Found"),
        new QLabel(QStringLiteral("No Host entries were found in ~/.ssh/config")), loadFromFile);
    emptyPage_->setObjectName(QStringLiteral("emptyPage"));
    content_->addWidget(emptyPage_);
    layout->addWidget(content_, 1);

    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    importButton_ = buttons->addButton(importButtonTitle(), QDialogButtonBox::AcceptRole);
    importButton_->setObjectName(QStringLiteral("importButton"));
    importButton_->setDefault(true);
    connect(importButton_, &QPushButton::clicked, this, &SSHConfigImportView::importSelected);
    layout->addWidget(buttons);

    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, importButton_, &QPushButton::animateClick);
    }
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Escape), this), &QShortcut::activated, this,
            &QDialog::reject);
}

QWidget *SSHConfigImportView::buildOptions()
{
    auto *options = new QGroupBox(QStringLiteral("Options"));
    options->setFixedHeight(optionsHeight);
    auto *form = new QFormLayout(options);

    clientGroupField_ = new QLineEdit(clientGroup_);
    clientGroupField_->setObjectName(QStringLiteral("clientGroup"));
    clientGroupField_->setPlaceholderText(QStringLiteral("General"));
    clientGroupField_->setMaxLength(std::numeric_limits<int>::max());
    connect(clientGroupField_, &QLineEdit::textChanged, this,
            [this](const QString &text) { clientGroup_ = text; });

    environmentPicker_ = new QComboBox;
    environmentPicker_->setObjectName(QStringLiteral("environment"));
    for (ServerEnvironment environment : allServerEnvironments) {
        environmentPicker_->addItem(title(environment));
    }
    environmentPicker_->setCurrentIndex(
        int(std::find(allServerEnvironments.begin(), allServerEnvironments.end(), environment_) -
            allServerEnvironments.begin()));
    connect(environmentPicker_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < int(allServerEnvironments.size())) {
            environment_ = allServerEnvironments[size_t(index)];
        }
    });

    useSSHGToggle_ = new QCheckBox(QStringLiteral("Resolve via ssh -G (recommended)"));
    useSSHGToggle_->setObjectName(QStringLiteral("useSSHG"));
    useSSHGToggle_->setChecked(useSSHG_);
    connect(useSSHGToggle_, &QCheckBox::toggled, this, [this](bool checked) { useSSHG_ = checked; });

    form->addRow(QStringLiteral("Group"), clientGroupField_);
    form->addRow(QStringLiteral("Default environment"), environmentPicker_);
    form->addRow(useSSHGToggle_);
    return options;
}

QWidget *SSHConfigImportView::buildLoadingPage()
{
    loadingPage_ = new QWidget;
    loadingPage_->setObjectName(QStringLiteral("loadingPage"));
    auto *layout = new QVBoxLayout(loadingPage_);
    layout->addStretch();
    auto *progress = new QProgressBar;
    progress->setRange(0, 0); // busy, with no known end
    progress->setTextVisible(false);
    progress->setMaximumWidth(200);
    auto *label = new QLabel(QStringLiteral("Parsing ~/.ssh/config…"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(progress, 0, Qt::AlignCenter);
    layout->addWidget(label);
    layout->addStretch();
    return loadingPage_;
}

QWidget *SSHConfigImportView::buildHostList()
{
    hostList_ = new QListWidget;
    hostList_->setObjectName(QStringLiteral("hostList"));
    hostList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    hostList_->setItemDelegate(new HostRowDelegate(hostList_));
    hostList_->setUniformItemSizes(true);
    connect(hostList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SSHConfigImportView::listSelectionChanged);
    return hostList_;
}

void SSHConfigImportView::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The sheet reads the default configuration once, when it first comes on screen.
    if (!hasLoadedOnShow_) {
        hasLoadedOnShow_ = true;
        loadDefaultConfig();
    }
}

void SSHConfigImportView::loadDefaultConfig()
{
    startLoad(loader_.loadDefault, LoadKind::defaultConfig);
}

void SSHConfigImportView::handleConfigFileImport(const QStringList &paths)
{
    if (paths.isEmpty()) {
        return;
    }
    loadConfigFile(paths.first());
}

void SSHConfigImportView::loadConfigFile(const QString &path)
{
    startLoad([load = loader_.loadFile, path] { return load(path); }, LoadKind::chosenFile);
}

void SSHConfigImportView::startLoad(std::function<std::vector<RawHost>()> load, LoadKind kind)
{
    isLoading_ = true;
    // Only the latest load may apply its result; an older one that ends later is dropped.
    const uint64_t generation = ++loadGeneration_;
    updateContent();
    std::thread([handoff = handoff_, load = std::move(load), generation, kind] {
        LoadResult result;
        try {
            result = load ? load() : std::vector<RawHost>();
        } catch (const SSHConfigReadError &error) {
            result = error.message();
        } catch (const std::exception &error) {
            result = QString::fromLocal8Bit(error.what());
        } catch (...) {
            result = QStringLiteral("The configuration couldn’t be read.");
        }
        const std::lock_guard lock(handoff->mutex);
        if (SSHConfigImportView *view = handoff->view) {
            QMetaObject::invokeMethod(
                view,
                [view, generation, kind, result = std::move(result)]() mutable {
                    view->finishLoad(generation, kind, std::move(result));
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void SSHConfigImportView::finishLoad(uint64_t generation, LoadKind kind, LoadResult result)
{
    if (generation != loadGeneration_) {
        return;
    }
    isLoading_ = false;
    if (auto *hosts = std::get_if<std::vector<RawHost>>(&result)) {
        rawHosts_ = std::move(*hosts);
        // A default load leaves an earlier error standing; a chosen file that loads clears it.
        if (kind == LoadKind::chosenFile) {
            loadError_.reset();
        }
    } else {
        loadError_ = std::get<QString>(result);
    }
    // Only aliases of the current list stay selected, so the button never counts hosts that
    // are gone.
    QSet<QString> listed;
    for (const RawHost &host : rawHosts_) {
        listed.insert(host.alias);
    }
    selectedAliases_.intersect(listed);
    fillHostList();
    updateContent();
    emit loadFinished();
}

void SSHConfigImportView::fillHostList()
{
    const QScopedValueRollback syncing(syncingSelection_, true);
    hostList_->clear();
    for (const RawHost &host : rawHosts_) {
        auto *item = new QListWidgetItem(host.alias, hostList_);
        item->setData(hostLineRole,
                      host.hostname.isEmpty() ? QStringLiteral("(resolved by ssh)") : host.hostname);
        item->setData(userRole, host.user);
        if (const std::optional<ImportProblem> problem = importProblem(host)) {
            // Listed, so the user sees it was read and why it stays out, but never chosen.
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
            item->setData(hostLineRole, problem->shortText);
            item->setToolTip(problem->fullText);
        }
    }
    showSelectionInList();
}

void SSHConfigImportView::showSelectionInList()
{
    const QScopedValueRollback syncing(syncingSelection_, true);
    for (int row = 0; row < hostList_->count(); ++row) {
        QListWidgetItem *item = hostList_->item(row);
        item->setSelected((item->flags() & Qt::ItemIsSelectable) && selectedAliases_.contains(item->text()));
    }
}

void SSHConfigImportView::listSelectionChanged(const QItemSelection &selected,
                                               const QItemSelection &deselected)
{
    // Rows are identified by alias: choosing or leaving a row puts its alias in or out of the
    // set, and every row with that alias follows.
    if (syncingSelection_) {
        return;
    }
    for (const QModelIndex &index : deselected.indexes()) {
        selectedAliases_.remove(index.data(Qt::DisplayRole).toString());
    }
    for (const QModelIndex &index : selected.indexes()) {
        selectedAliases_.insert(index.data(Qt::DisplayRole).toString());
    }
    showSelectionInList();
    updateContent();
}

void SSHConfigImportView::chooseConfigFile()
{
    auto *chooser = new QFileDialog(this, QStringLiteral("Choose SSH Config File"));
    chooser->setFileMode(QFileDialog::ExistingFile);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QFileDialog::filesSelected, this, &SSHConfigImportView::handleConfigFileImport);
    chooser->open();
}

SSHConfigImportView::ContentState SSHConfigImportView::contentState() const
{
    if (isLoading_) {
        return ContentState::loading;
    }
    if (loadError_) {
        return ContentState::failed;
    }
    return rawHosts_.empty() ? ContentState::empty : ContentState::listed;
}

std::vector<SSHConfigImportView::RawHost> SSHConfigImportView::hostsToImport() const
{
    std::vector<RawHost> chosen;
    for (const RawHost &host : rawHosts_) {
        const bool wanted = selectedAliases_.isEmpty() || selectedAliases_.contains(host.alias);
        if (wanted && isImportable(host)) {
            chosen.push_back(host);
        }
    }
    return chosen;
}

int64_t SSHConfigImportView::importCount() const
{
    return int64_t(hostsToImport().size());
}

QString SSHConfigImportView::importButtonTitle() const
{
    return QStringLiteral("Import %1 (%2)")
        .arg(selectedAliases_.isEmpty() ? QStringLiteral("All") : QStringLiteral("Selected"))
        .arg(importCount());
}

void SSHConfigImportView::updateContent()
{
    switch (contentState()) {
    case ContentState::loading:
        content_->setCurrentWidget(loadingPage_);
        break;
    case ContentState::failed:
        errorDescription_->setText(*loadError_);
        content_->setCurrentWidget(errorPage_);
        break;
    case ContentState::listed:
        content_->setCurrentWidget(hostList_);
        break;
    case ContentState::empty:
        content_->setCurrentWidget(emptyPage_);
        break;
    }
    importButton_->setText(importButtonTitle());
    importButton_->setEnabled(importCount() > 0);
}

void SSHConfigImportView::importSelected()
{
    const std::vector<RawHost> chosen = hostsToImport();
    if (chosen.empty()) {
        return;
    }
    for (const std::shared_ptr<ServerProfile> &profile : parser_.makeProfiles(chosen, clientGroup_)) {
        profile->setEnvironment(environment_);
        modelContext_.insert(profile);
    }
    // A failed save leaves the new profiles pending in the context, where the next save
    // retries; the user is told once the sheet has closed.
    const std::optional<StoreError> error = modelContext_.save();
    accept();
    if (error) {
        showSaveFailure(parentWidget(), *error);
    }
}

} // namespace corvane
