#include "corvane/ui/ServerListView.h"

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/ProfileQuery.h"
#include "corvane/ui/ServerListModel.h"
#include "corvane/ui/SaveFailureNotice.h"
#include "corvane/ui/ServerRow.h"
#include "corvane/ui/Sheet.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace corvane {
namespace {

constexpr int dotAnimationMilliseconds = 300;

} // namespace

ServerListView::ServerListView(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent)
    : QWidget(parent)
    , modelContext_(modelContext)
    , sessionManager_(sessionManager)
    , titleLabel_(plainLabel(listTitle(sidebarSelection_), this))
    , addServerButton_(new QToolButton(this))
    , list_(new QListView(this))
    , model_(new ServerListModel(this))
    , emptyOverlay_(new QWidget(list_))
    , emptyLabel_(plainLabel({}, emptyOverlay_))
    , emptyDescription_(plainLabel({}, emptyOverlay_))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 10, 0, 0);
    layout->setSpacing(6);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(12, 0, 8, 0);
    QFont titleFont = titleLabel_->font();
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::Bold);
    titleLabel_->setFont(titleFont);
    titleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    header->addWidget(titleLabel_, 1);
    addServerButton_->setIcon(symbols::icon(QStringLiteral("plus"), palette().color(QPalette::ButtonText)));
    addServerButton_->setText(tr("Add Server"));
    addServerButton_->setToolTip(tr("Add Server"));
    addServerButton_->setAutoRaise(true);
    connect(addServerButton_, &QToolButton::clicked, this, [this] { editProfile(nullptr); });
    header->addWidget(addServerButton_);
    layout->addLayout(header);

    list_->setModel(model_);
    list_->setItemDelegate(new ServerRow(*model_, list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setSpacing(1);
    list_->installEventFilter(this);
    layout->addWidget(list_, 1);

    auto *overlay = new QVBoxLayout(emptyOverlay_);
    auto *symbol =
        new SymbolView(QStringLiteral("server.rack"), systemcolors::tertiaryText(), 36, emptyOverlay_);
    QFont labelFont = emptyLabel_->font();
    labelFont.setPixelSize(17);
    labelFont.setWeight(QFont::Bold);
    emptyLabel_->setFont(labelFont);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyDescription_->setAlignment(Qt::AlignCenter);
    emptyDescription_->setWordWrap(true);
    QPalette faded = emptyDescription_->palette();
    faded.setColor(QPalette::WindowText, systemcolors::secondaryText());
    emptyDescription_->setPalette(faded);
    overlay->addStretch(1);
    overlay->addWidget(symbol, 0, Qt::AlignHCenter);
    overlay->addWidget(emptyLabel_);
    overlay->addWidget(emptyDescription_);
    overlay->addStretch(1);
    emptyOverlay_->setAttribute(Qt::WA_TransparentForMouseEvents);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ServerListView::takeSelectionFromList);
    connect(list_, &QListView::customContextMenuRequested, this, &ServerListView::showContextMenu);
    connect(&modelContext_, &ModelContext::changed, this, &ServerListView::reload);
    connect(&sessionManager_, &SessionManager::sessionsChanged, this, &ServerListView::watchSessions);
    watchSessions();
    reload();
}

ServerListView::~ServerListView() = default;

ServerListView::Profiles ServerListView::profilesForSelection(const Profiles &profiles,
                                                              const SidebarSelection &selection)
{
    if (!selection) {
        return profiles;
    }
    Profiles kept;
    std::copy_if(profiles.begin(), profiles.end(), std::back_inserter(kept),
                 [&selection](const auto &profile) { return selection->includes(*profile); });
    return kept;
}

ServerListView::Profiles ServerListView::filteredProfilesForList(const Profiles &profiles,
                                                                 const SidebarSelection &selection,
                                                                 const QString &searchText)
{
    Profiles selected = profilesForSelection(profiles, selection);
    if (searchText.isEmpty()) {
        return selected;
    }
    std::erase_if(selected, [&searchText](const auto &profile) { return !profile->matches(searchText); });
    return selected;
}

QString ServerListView::listTitle(const SidebarSelection &selection)
{
    if (!selection) {
        return tr("All Servers");
    }
    switch (selection->kind()) {
    case SidebarItem::Case::allServers:
        return tr("All Servers");
    case SidebarItem::Case::favorites:
        return tr("Favorites");
    case SidebarItem::Case::environment:
        return corvane::title(selection->serverEnvironment());
    case SidebarItem::Case::tag:
        return QLatin1Char('#') + selection->name();
    case SidebarItem::Case::clientGroup:
        return selection->name();
    }
    return {};
}

ServerListView::EmptyState ServerListView::emptyState(const QString &searchText)
{
    if (searchText.isEmpty()) {
        return {tr("No Servers"), tr("Add a server with the + button, or import from ~/.ssh/config")};
    }
    return {tr("No Results"), tr("Try a different search term")};
}

QString ServerListView::deleteConfirmationTitle(const QString &displayName)
{
    return QStringLiteral("Delete \"") + displayName + QStringLiteral("\"?");
}

QString ServerListView::deleteConfirmationMessage()
{
    return tr("All saved sessions for this server will be closed. This cannot be undone.");
}

void ServerListView::setSidebarSelection(const SidebarSelection &selection)
{
    if (sidebarSelection_ == selection) {
        return;
    }
    sidebarSelection_ = selection;
    titleLabel_->setText(listTitle(sidebarSelection_));
    reload();
}

void ServerListView::setSearchText(const QString &searchText)
{
    if (searchText_ == searchText) {
        return;
    }
    searchText_ = searchText;
    reload();
}

void ServerListView::setSelectedProfileId(const QUuid &id)
{
    selectedProfileId_ = id;
    showSelectedRow();
}

QString ServerListView::title() const
{
    return titleLabel_->text();
}

bool ServerListView::isShowingEmptyState() const
{
    return !emptyOverlay_->isHidden();
}

ServerListView::EmptyState ServerListView::shownEmptyState() const
{
    return {emptyLabel_->text(), emptyDescription_->text()};
}

void ServerListView::reload()
{
    updatingSelection_ = true;
    model_->setProfiles(
        filteredProfilesForList(profilesBySortOrder(modelContext_), sidebarSelection_, searchText_));
    updatingSelection_ = false;
    const bool empty = model_->rowCount() == 0;
    if (empty) {
        const EmptyState state = emptyState(searchText_);
        emptyLabel_->setText(state.label);
        emptyDescription_->setText(state.description);
    }
    emptyOverlay_->setHidden(!empty);
    showSelectedRow();
    refreshStatusDots();
}

void ServerListView::showSelectedRow()
{
    const int row = selectedProfileId_.isNull() ? -1 : model_->rowOf(selectedProfileId_);
    updatingSelection_ = true;
    if (row < 0) {
        list_->selectionModel()->clearSelection();
    } else {
        const QModelIndex index = model_->index(row);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    updatingSelection_ = false;
}

void ServerListView::takeSelectionFromList()
{
    if (updatingSelection_) {
        return;
    }
    const QModelIndexList rows = list_->selectionModel()->selectedIndexes();
    if (rows.isEmpty()) {
        return; // the window's selection is cleared only by deleting its profile
    }
    if (const ServerProfile *profile = model_->profileAt(rows.front().row())) {
        selectProfile(profile->id());
    }
}

void ServerListView::selectProfile(const QUuid &id)
{
    if (selectedProfileId_ == id) {
        return;
    }
    selectedProfileId_ = id;
    showSelectedRow();
    emit selectedProfileChanged(id);
}

void ServerListView::connectProfile(const std::shared_ptr<ServerProfile> &profile)
{
    if (!profile) {
        return;
    }
    selectProfile(profile->id());
    sessionManager_.openSession(profile);
}

std::shared_ptr<ServerProfile> ServerListView::duplicateProfile(const ServerProfile &profile)
{
    auto copy = std::make_shared<ServerProfile>(
        profile.displayName() + QStringLiteral(" copy"), profile.sshAlias(), profile.hostname(),
        profile.port(), profile.username(), profile.environment(), profile.clientGroup(), profile.tags(),
        profile.notes(), profile.workingDirectory(), profile.preferredIdentity());
    modelContext_.insert(copy);
    // Saved at once, so a copy is never lost with an unsaved context; a failed save leaves it
    // pending for the next one.
    saveChanges();
    return copy;
}

void ServerListView::setFavorite(ServerProfile &profile, bool isFavorite)
{
    profile.setIsFavorite(isFavorite);
    saveChanges();
}

void ServerListView::saveChanges()
{
    if (const std::optional<StoreError> error = modelContext_.save()) {
        showSaveFailure(this, *error);
    }
}

void ServerListView::requestDelete(const std::shared_ptr<ServerProfile> &profile)
{
    if (!profile) {
        return;
    }
    profileToDelete_ = profile;
    if (deleteConfirmation_) {
        deleteConfirmation_->setText(deleteConfirmationTitle(profile->displayName()));
        return;
    }
    auto *box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(deleteConfirmationTitle(profile->displayName()));
    box->setInformativeText(deleteConfirmationMessage());
    // The message box reads its informative text as rich text when it looks like markup.
    for (QLabel *label : box->findChildren<QLabel *>()) {
        label->setTextFormat(Qt::PlainText);
    }
    QPushButton *remove = box->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Cancel);
    connect(box, &QMessageBox::finished, this, [this, box, remove] {
        if (box->clickedButton() == remove) {
            deleteProfile();
        }
        profileToDelete_.reset();
    });
    deleteConfirmation_ = box;
    box->open();
}

void ServerListView::deleteProfile()
{
    const std::shared_ptr<ServerProfile> profile = std::exchange(profileToDelete_, nullptr);
    if (!profile) {
        return;
    }
    sessionManager_.closeSessions(*profile);
    modelContext_.remove(profile);
    saveChanges();
    if (selectedProfileId_ == profile->id()) {
        selectedProfileId_ = QUuid();
        emit selectedProfileChanged(QUuid());
    }
}

void ServerListView::editProfile(const std::shared_ptr<ServerProfile> &profile)
{
    presentSheet(this, profileEditor_,
                 [this, &profile] { return new ProfileEditorView(modelContext_, profile, this); });
}

QMenu *ServerListView::makeContextMenu(const std::shared_ptr<ServerProfile> &profile, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    std::weak_ptr<ServerProfile> weak = profile;
    menu->addAction(tr("Connect"), this, [this, weak] { connectProfile(weak.lock()); });
    menu->addSeparator();
    menu->addAction(tr("Edit…"), this, [this, weak] {
        if (auto target = weak.lock()) {
            editProfile(target);
        }
    });
    menu->addAction(tr("Duplicate"), this, [this, weak] {
        if (auto source = weak.lock()) {
            duplicateProfile(*source);
        }
    });
    QAction *favorite = menu->addAction(tr("Favorite"));
    favorite->setCheckable(true);
    favorite->setChecked(profile->isFavorite());
    connect(favorite, &QAction::toggled, this, [this, weak](bool checked) {
        if (auto target = weak.lock()) {
            setFavorite(*target, checked);
        }
    });
    menu->addSeparator();
    QAction *remove = menu->addAction(tr("Delete…"), this, [this, weak] { requestDelete(weak.lock()); });
    remove->setIcon(symbols::icon(QStringLiteral("exclamationmark.triangle.fill"), systemcolors::red()));
    return menu;
}

void ServerListView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = list_->indexAt(position);
    std::shared_ptr<ServerProfile> profile = model_->sharedProfileAt(index.row());
    if (!index.isValid() || !profile) {
        return;
    }
    QMenu *menu = makeContextMenu(profile, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list_->viewport()->mapToGlobal(position));
}

void ServerListView::watchSessions()
{
    delete sessionWatch_;
    sessionWatch_ = new QObject(this);
    for (const std::shared_ptr<SSHSession> &session : sessionManager_.sessions()) {
        connect(session.get(), &SSHSession::stateChanged, sessionWatch_, [this] { refreshStatusDots(); });
    }
    refreshStatusDots();
}

void ServerListView::refreshStatusDots()
{
    for (const auto &profile : model_->profiles()) {
        animateDot(profile->id(),
                   ServerRow::hasActiveSession(sessionManager_.sessions(*profile)) ? 1.0 : 0.0);
    }
}

void ServerListView::animateDot(const QUuid &id, qreal target)
{
    const bool lit = target > 0;
    const auto known = dotTargets_.find(id);
    if (known == dotTargets_.end() ? !lit : known->second == lit) {
        return;
    }
    dotTargets_[id] = lit;
    const int row = model_->rowOf(id);
    const qreal from = row >= 0 ? model_->dotLevel(row) : (lit ? 0.0 : 1.0);
    if (QPointer<QVariantAnimation> running = dotAnimations_[id]) {
        running->stop();
        running->deleteLater();
    }
    auto *animation = new QVariantAnimation(this);
    animation->setDuration(dotAnimationMilliseconds);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(from);
    animation->setEndValue(target);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this, id](const QVariant &value) { model_->setDotLevel(id, value.toReal()); });
    dotAnimations_[id] = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool ServerListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list_ && event->type() == QEvent::Resize) {
        emptyOverlay_->setGeometry(list_->rect().adjusted(16, 0, -16, 0));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace corvane
