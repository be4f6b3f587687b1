#include "corvane/ui/QuickActionsView.h"

#include "corvane/catalogue/AuditSink.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/CanonicalText.h"
#include "corvane/ui/ConfirmActionView.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/OneLineLabel.h"
#include "corvane/ui/RiskBadge.h"
#include "corvane/ui/RiskPresentation.h"
#include "corvane/ui/Sheet.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WrappingText.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {
namespace {

const QString notConnectedMessage = QStringLiteral("Session is not connected");
const QString fullScreenProgramMessage =
    QStringLiteral("Not sent: a full-screen program (an editor, a pager) is open in the terminal and would "
                   "take the command as keys. Quit it, then run the action again.");

// A program on the alternate screen reads what is typed as keys, not as a command line.
bool showsFullScreenProgram(const SSHSession &session)
{
    kestrix::TerminalView *view = TerminalViewRepresentable::existingView(session);
    return view != nullptr && view->getTerminal().isAlternateBufferActive();
}

} // namespace

QuickActionsView::QuickActionsView(SSHSession &session, QWidget *parent)
    : QuickActionsView(session, applicationAuditSink(), QuickAction::builtInActions(), parent)
{
}

QuickActionsView::QuickActionsView(SSHSession &session, AuditSink &auditSink,
                                   std::vector<QuickAction> catalogue, QWidget *parent)
    : QDialog(parent)
    , session_(&session)
    , profile_(session.profile())
    , auditSink_(auditSink)
    , catalogue_(std::move(catalogue))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Quick Actions"));
    setFixedSize(sheetWidth, sheetHeight);

    auto *column = new QVBoxLayout(this);
    column->addWidget(makeHeader());
    column->addWidget(makeList(), 1);
    column->addWidget(makeFooter());

    connect(profile_.get(), &ServerProfile::changed, this,
            [this] { subtitle_->setText(profile_->displayName()); });
    // A message about the connection is stale once the connection changes.
    connect(&session, &SSHSession::stateChanged, this, [this] { showStatus({}); });
}

QuickActionsView::~QuickActionsView() = default;

std::vector<QuickActionsView::ActionGroup>
QuickActionsView::groupedActions(const std::vector<QuickAction> &catalogue)
{
    std::vector<ActionGroup> groups;
    for (const QuickAction &action : catalogue) {
        auto group = std::find_if(groups.begin(), groups.end(), [&](const ActionGroup &candidate) {
            return canonicallyEqual(candidate.category, action.category);
        });
        if (group == groups.end()) {
            groups.push_back({action.category, {}});
            group = std::prev(groups.end());
        }
        group->actions.push_back(action);
    }
    std::stable_sort(groups.begin(), groups.end(), [](const ActionGroup &a, const ActionGroup &b) {
        return canonicallyLess(a.category, b.category);
    });
    return groups;
}

QWidget *QuickActionsView::makeHeader()
{
    auto *header = new QWidget(this);
    auto *texts = new QVBoxLayout(header);
    texts->setSpacing(2);
    QLabel *title = plainLabel(windowTitle(), header);
    title->setFont(sizedFont(font(), 13, QFont::Bold));
    subtitle_ = plainLabel(profile_->displayName(), header);
    subtitle_->setObjectName(QStringLiteral("subtitle"));
    subtitle_->setFont(sizedFont(font(), 11));
    setTextColor(subtitle_, systemcolors::secondaryText());
    texts->addWidget(title);
    texts->addWidget(subtitle_);
    return header;
}

QWidget *QuickActionsView::makeList()
{
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    auto *column = new QVBoxLayout(content);
    for (const ActionGroup &group : groupedActions(catalogue_)) {
        QLabel *header = plainLabel(group.category, content);
        header->setObjectName(QStringLiteral("sectionHeader"));
        header->setFont(sizedFont(font(), 11, QFont::DemiBold));
        setTextColor(header, systemcolors::secondaryText());
        column->addSpacing(6);
        column->addWidget(header);
        for (const QuickAction &action : group.actions) {
            column->addWidget(makeRow(action, content));
        }
    }
    column->addStretch(1);
    scroll->setWidget(content);
    return scroll;
}

QWidget *QuickActionsView::makeRow(const QuickAction &action, QWidget *parent)
{
    const RiskPresentation &risk = RiskPresentation::of(action.risk);
    auto *row = new QWidget(parent);
    row->setObjectName(QStringLiteral("actionRow"));
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 2, 0, 2);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *titleLine = new QHBoxLayout;
    titleLine->setSpacing(6);
    auto *icon = new QLabel(row);
    icon->setPixmap(symbols::pixmap(risk.symbol(), risk.color(), 11, devicePixelRatioF()));
    icon->setFixedSize(11, 11);
    QLabel *title = plainLabel(action.title, row);
    title->setObjectName(QStringLiteral("actionTitle"));
    title->setFont(sizedFont(font(), 13));
    titleLine->addWidget(icon, 0, Qt::AlignVCenter);
    titleLine->addWidget(title, 0, Qt::AlignVCenter);
    titleLine->addWidget(new RiskBadge(action.risk, row), 0, Qt::AlignVCenter);
    titleLine->addStretch(1);
    texts->addLayout(titleLine);

    auto *command = new OneLineLabel(row);
    command->setObjectName(QStringLiteral("actionCommand"));
    command->setTextFormat(Qt::PlainText);
    command->setText(action.remoteCommand);
    QFont monospaced = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospaced.setPixelSize(10);
    command->setFont(monospaced);
    setTextColor(command, systemcolors::secondaryText());
    texts->addWidget(command);
    line->addLayout(texts, 1);

    auto *run = new QPushButton(QStringLiteral("Run"), row);
    run->setAutoDefault(false);
    run->setFont(sizedFont(font(), 11));
    connect(run, &QPushButton::clicked, this, [this, action] { handleActionTap(action); });
    runButtons_.emplace_back(action.id, run);
    line->addWidget(run, 0, Qt::AlignVCenter);
    return row;
}

QWidget *QuickActionsView::makeFooter()
{
    auto *footer = new QWidget(this);
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    status_ = new WrappingText({}, footer);
    status_->setObjectName(QStringLiteral("statusMessage"));
    setTextColor(status_, systemcolors::red());
    status_->hide();
    doneButton_ = new QPushButton(QStringLiteral("Done"), footer);
    doneButton_->setAutoDefault(false);
    connect(doneButton_, &QPushButton::clicked, this, &QuickActionsView::dismiss);
    row->addWidget(status_, 1);
    row->addWidget(doneButton_);
    return footer;
}

QPushButton *QuickActionsView::runButton(const QUuid &actionId) const
{
    for (const auto &[id, button] : runButtons_) {
        if (id == actionId) {
            return button;
        }
    }
    return nullptr;
}

QString QuickActionsView::statusMessage() const
{
    return status_->isHidden() ? QString() : status_->text();
}

void QuickActionsView::handleActionTap(const QuickAction &action)
{
    pendingAction_ = action;
    if (action.risk == RiskLevel::readOnly) {
        executeAction(action);
        return;
    }
    presentConfirmation(action);
}

void QuickActionsView::executeAction(const QuickAction &action)
{
    const QByteArray line = (action.remoteCommand + QLatin1Char('\n')).toUtf8();
    // Only a command the session took is recorded; otherwise the sheet stays and says why.
    if (session_ && session_->state().is(SessionState::Case::connected) && showsFullScreenProgram(*session_)) {
        showStatus(fullScreenProgramMessage);
        return;
    }
    if (!session_ || !session_->send(line)) {
        showStatus(notConnectedMessage);
        return;
    }
    auditSink_.log(action.title, action.category, action.risk, *profile_);
    dismiss();
}

void QuickActionsView::presentConfirmation(const QuickAction &action)
{
    closeConfirmation();
    confirmation_ = new ConfirmActionView(
        action, profile_, [this] { confirmPendingAction(); }, [this] { closeConfirmation(); }, this);
    openSheet(*confirmation_);
}

void QuickActionsView::confirmPendingAction()
{
    closeConfirmation();
    if (pendingAction_) {
        const QuickAction action = *pendingAction_;
        executeAction(action);
    }
}

void QuickActionsView::closeConfirmation()
{
    if (!confirmation_) {
        return;
    }
    // Called from the confirmation's own buttons: it goes once they have returned.
    ConfirmActionView *confirmation = confirmation_;
    confirmation_ = nullptr;
    confirmation->hide();
    confirmation->deleteLater();
}

void QuickActionsView::showStatus(const QString &message)
{
    status_->setText(message);
    status_->setVisible(!message.isEmpty());
}

void QuickActionsView::dismiss()
{
    closeConfirmation();
    accept();
}

} // namespace corvane
