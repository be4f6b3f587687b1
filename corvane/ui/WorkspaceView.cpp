#include "corvane/ui/WorkspaceView.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/ServerRow.h"
#include "corvane/ui/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

WorkspaceView::WorkspaceView(std::shared_ptr<ServerProfile> profile, QWidget *parent)
    : QWidget(parent)
    , profile_(std::move(profile))
    , nameLabel_(new QLabel(this))
    , badge_(new EnvironmentBadge(profile_->environment(), this))
    , reachLabel_(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(4);

    auto *header = new QHBoxLayout;
    header->setSpacing(8);
    nameLabel_->setTextFormat(Qt::PlainText);
    QFont nameFont = nameLabel_->font();
    nameFont.setPixelSize(17);
    nameFont.setWeight(QFont::Bold);
    nameLabel_->setFont(nameFont);
    header->addWidget(nameLabel_);
    header->addWidget(badge_);
    header->addStretch(1);
    layout->addLayout(header);

    reachLabel_->setTextFormat(Qt::PlainText);
    reachLabel_->setFont(ServerRow::reachFont(font()));
    QPalette secondary = reachLabel_->palette();
    secondary.setColor(QPalette::WindowText, systemcolors::secondaryText());
    reachLabel_->setPalette(secondary);
    layout->addWidget(reachLabel_);
    layout->addStretch(1);

    connect(profile_.get(), &ServerProfile::changed, this, &WorkspaceView::showProfile);
    showProfile();
}

void WorkspaceView::showProfile()
{
    nameLabel_->setText(profile_->displayName());
    badge_->setEnvironment(profile_->environment());
    reachLabel_->setText(ServerRow::userAtHost(*profile_) +
                         ServerRow::portText(*profile_).value_or(QString()));
}

} // namespace corvane
