#include "corvane/ui/ServerOverviewView.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/RelativeTimeText.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace corvane {
namespace {

struct EnvironmentLook {
    ServerEnvironment environment;
    const char *symbol;
};

constexpr EnvironmentLook environmentLooks[] = {
    {ServerEnvironment::production, "server.rack"},
    {ServerEnvironment::staging, "cpu"},
    {ServerEnvironment::development, "hammer"},
    {ServerEnvironment::testing, "testtube.2"},
};

} // namespace

ServerOverviewView::ServerOverviewView(std::shared_ptr<ServerProfile> profile, SessionManager &sessionManager,
                                       QWidget *parent)
    : QWidget(parent)
    , profile_(std::move(profile))
    , sessionManager_(sessionManager)
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(40, 40, 40, 40);
    auto *content = new QWidget(this);
    content->setMaximumWidth(maximumContentWidth);
    outer->addStretch(1);
    outer->addWidget(content, 0, Qt::AlignHCenter);
    outer->addStretch(1);

    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(24);
    auto *title = new QVBoxLayout;
    title->setSpacing(8);
    symbolHolder_ = new QWidget(content);
    new QVBoxLayout(symbolHolder_);
    symbolHolder_->layout()->setContentsMargins(0, 0, 0, 0);
    title->addWidget(symbolHolder_, 0, Qt::AlignHCenter);
    nameLabel_ = plainLabel(QString(), sizedFont(font(), 26, QFont::DemiBold), content);
    title->addWidget(nameLabel_, 0, Qt::AlignHCenter);
    badge_ = new EnvironmentBadge(profile_->environment(), content);
    title->addWidget(badge_, 0, Qt::AlignHCenter);
    groupLabel_ = plainLabel(QString(), sizedFont(font(), 11), content, true);
    groupLabel_->setMinimumHeight(groupLabel_->fontMetrics().height()); // an empty group keeps its line
    title->addWidget(groupLabel_, 0, Qt::AlignHCenter);
    column->addLayout(title);

    detailHolder_ = new QWidget(content);
    new QVBoxLayout(detailHolder_);
    detailHolder_->layout()->setContentsMargins(0, 0, 0, 0);
    column->addWidget(detailHolder_);

    connectButton_ =
        new QPushButton(symbols::icon(QStringLiteral("terminal"), Qt::white), tr("Connect"), content);
    connectButton_->setAutoDefault(false);
    connect(connectButton_, &QPushButton::clicked, this, &ServerOverviewView::connectToServer);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, connectButton_, &QPushButton::click);
    column->addWidget(connectButton_, 0, Qt::AlignHCenter);

    connect(profile_.get(), &ServerProfile::changed, this, &ServerOverviewView::showProfile);
    showProfile();
}

QString ServerOverviewView::environmentSymbol(const ServerProfile &profile)
{
    for (const EnvironmentLook &look : environmentLooks) {
        if (look.environment == profile.environment()) {
            return QString::fromLatin1(look.symbol);
        }
    }
    return QStringLiteral("server.rack");
}

QColor ServerOverviewView::environmentColor(const ServerProfile &profile, const QPalette &palette)
{
    switch (profile.environment()) {
    case ServerEnvironment::production:
        return systemcolors::red();
    case ServerEnvironment::staging:
        return systemcolors::orange();
    case ServerEnvironment::development:
        return palette.color(QPalette::Highlight);
    case ServerEnvironment::testing:
        return systemcolors::gray();
    }
    return systemcolors::gray();
}

void ServerOverviewView::connectToServer()
{
    sessionManager_.openSession(profile_);
}

void ServerOverviewView::showProfile()
{
    const ServerProfile &profile = *profile_;
    const QColor color = environmentColor(profile, palette());
    QLayout *symbolLayout = symbolHolder_->layout();
    while (QLayoutItem *item = symbolLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    symbolLayout->addWidget(new SymbolView(environmentSymbol(profile), color, 48, symbolHolder_));
    nameLabel_->setText(profile.displayName());
    badge_->setEnvironment(profile.environment());
    groupLabel_->setText(profile.clientGroup());
    QPalette tinted = connectButton_->palette();
    tinted.setColor(QPalette::Button, color);
    tinted.setColor(QPalette::ButtonText, Qt::white);
    connectButton_->setPalette(tinted);

    // A new grid each time, so rows that went leave no empty rows behind.
    if (details_) {
        delete details_->parentWidget();
    }
    auto *grid = new QWidget(detailHolder_);
    details_ = new QGridLayout(grid);
    details_->setContentsMargins(0, 0, 0, 0);
    details_->setHorizontalSpacing(20);
    details_->setVerticalSpacing(8);
    detailHolder_->layout()->addWidget(grid);
    if (!profile.hostname().isEmpty()) {
        addDetailRow(tr("Host"), profile.hostname(), true);
    }
    if (!profile.username().isEmpty()) {
        addDetailRow(tr("User"), profile.username(), true);
    }
    addDetailRow(tr("Port"), QString::number(profile.port()), true);
    if (!profile.sshAlias().isEmpty()) {
        addDetailRow(tr("Alias"), profile.sshAlias(), true);
    }
    if (profile.lastConnected()) {
        const int64_t elapsed = profile.lastConnected()->secsTo(QDateTime::currentDateTimeUtc());
        addDetailRow(tr("Last connected"), tr("%1 ago").arg(relativeTimeText(elapsed)), false);
    }
    if (!profile.notes().isEmpty()) {
        addDetailRow(tr("Notes"), profile.notes(), false, true);
    }
}

void ServerOverviewView::addDetailRow(const QString &label, const QString &value, bool monospaced, bool wraps)
{
    const QFont callout = sizedFont(font(), 12);
    QFont valueFont = callout;
    if (monospaced) {
        valueFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        valueFont.setPixelSize(13);
    }
    const int row = details_->rowCount();
    QWidget *holder = details_->parentWidget();
    details_->addWidget(plainLabel(label, callout, holder, true), row, 0, Qt::AlignLeft | Qt::AlignTop);
    QLabel *valueLabel = plainLabel(value, valueFont, holder);
    valueLabel->setWordWrap(wraps);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details_->addWidget(valueLabel, row, 1, Qt::AlignLeft | Qt::AlignTop);
    details_->setColumnStretch(1, 1);
}

QList<std::pair<QString, QString>> ServerOverviewView::detailRows() const
{
    QList<std::pair<QString, QString>> rows;
    for (int row = 0; row < details_->rowCount(); ++row) {
        QLayoutItem *label = details_->itemAtPosition(row, 0);
        QLayoutItem *value = details_->itemAtPosition(row, 1);
        if (label && value) {
            rows.append({static_cast<QLabel *>(label->widget())->text(),
                         static_cast<QLabel *>(value->widget())->text()});
        }
    }
    return rows;
}

} // namespace corvane
