#include "corvane/ui/ContentView.h"

#include "corvane/catalogue/AuditLogger.h"
#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/AuditLogView.h"
#include "corvane/ui/ServerListView.h"
#include "corvane/ui/Sheet.h"
#include "corvane/ui/SidebarView.h"
#include "corvane/ui/WelcomeView.h"
#include "corvane/ui/WorkspaceView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

ContentView::ContentView(ModelContext &modelContext, SessionManager &sessionManager, QWidget *parent)
    : QWidget(parent)
    , modelContext_(modelContext)
    , sessionManager_(sessionManager)
    , splitter_(new QSplitter(Qt::Horizontal, this))
    , sidebar_(new SidebarView(modelContext_, splitter_))
    , searchField_(new QLineEdit(sidebar_))
    , serverList_(new ServerListView(modelContext_, sessionManager_, splitter_))
    , detail_(new QWidget(splitter_))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    searchField_->setPlaceholderText(searchPrompt());
    searchField_->setClearButtonEnabled(true);
    sidebar_->setSearchField(searchField_);

    auto *detailLayout = new QVBoxLayout(detail_);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    splitter_->addWidget(sidebar_);
    splitter_->addWidget(serverList_);
    splitter_->addWidget(detail_);
    splitter_->setChildrenCollapsible(false);
    sidebar_->setMinimumWidth(180);
    serverList_->setMinimumWidth(240);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 0);
    splitter_->setStretchFactor(2, 1);
    splitter_->setSizes({220, 320, 660});

    connect(sidebar_, &SidebarView::selectionChanged, this,
            [this] { serverList_->setSidebarSelection(sidebar_->selection()); });
    connect(searchField_, &QLineEdit::textChanged, serverList_, &ServerListView::setSearchText);
    connect(serverList_, &ServerListView::selectedProfileChanged, this, &ContentView::setSelectedProfileId);
    connect(&modelContext_, &ModelContext::changed, this, &ContentView::forgetDeletedSelection);
    serverList_->setSidebarSelection(sidebar_->selection());
    showDetail();
}

ContentView::~ContentView() = default;

QString ContentView::searchPrompt()
{
    return tr("Search servers…");
}

const SidebarSelection &ContentView::sidebarSelection() const
{
    return sidebar_->selection();
}

QString ContentView::searchText() const
{
    return searchField_->text();
}

std::shared_ptr<ServerProfile> ContentView::selectedProfile() const
{
    if (selectedProfileId_.isNull()) {
        return nullptr;
    }
    const auto profiles = modelContext_.fetch<ServerProfile>();
    const auto found = std::find_if(profiles.begin(), profiles.end(), [this](const auto &profile) {
        return profile->id() == selectedProfileId_;
    });
    return found == profiles.end() ? nullptr : *found;
}

void ContentView::setSelectedProfileId(const QUuid &id)
{
    if (selectedProfileId_ == id) {
        return;
    }
    selectedProfileId_ = id;
    serverList_->setSelectedProfileId(id);
    showDetail();
    emit selectedProfileChanged();
}

void ContentView::forgetDeletedSelection()
{
    if (!selectedProfileId_.isNull() && !selectedProfile()) {
        setSelectedProfileId(QUuid());
    }
}

void ContentView::showDetail()
{
    const std::shared_ptr<ServerProfile> profile = selectedProfile();
    if (profile && workspaceView_ && workspaceView_->profile() == profile) {
        return;
    }
    if (!profile && welcomeView_) {
        return;
    }
    delete welcomeView_;
    delete workspaceView_;
    if (profile) {
        workspaceView_ = new WorkspaceView(profile, sessionManager_, detail_);
        detail_->layout()->addWidget(workspaceView_);
    } else {
        welcomeView_ = new WelcomeView([this] { perform(MenuCommand::newServer); },
                                       [this] { perform(MenuCommand::importSSHConfig); }, detail_);
        detail_->layout()->addWidget(welcomeView_);
    }
}

void ContentView::perform(MenuCommand command)
{
    // Each command opens its own sheet; one already open stays as it is, and the others are
    // left alone.
    switch (command) {
    case MenuCommand::showAuditLog:
        presentSheet(this, auditLog_, [this] { return new AuditLogView(modelContext_, this); });
        break;
    case MenuCommand::newServer:
        presentSheet(this, profileEditor_,
                     [this] { return new ProfileEditorView(modelContext_, nullptr, this); });
        break;
    case MenuCommand::importSSHConfig:
        presentSheet(this, sshImport_, [this] { return new SSHConfigImportView(modelContext_, this); });
        break;
    case MenuCommand::openCommandPalette:
        presentSheet(this, commandPalette_, [this] {
            auto *palette = new CommandPaletteView(modelContext_, sessionManager_, this);
            connect(palette, &CommandPaletteView::selectedProfileChanged, this,
                    &ContentView::setSelectedProfileId);
            return palette;
        });
        break;
    }
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    AuditLogger::shared().setModelContext(&modelContext_);
}

} // namespace corvane
