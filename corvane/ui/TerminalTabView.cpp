#include "corvane/ui/TerminalTabView.h"

#include "Kestrix/view/TerminalView.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/session/SessionManager.h"
#include "corvane/ui/ConnectionStatusView.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/HostKeyAlertView.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/OneLineLabel.h"
#include "corvane/ui/QuickActionsView.h"
#include "corvane/ui/Sheet.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"
#include "corvane/ui/TerminalTail.h"
#include "corvane/ui/TerminalViewRepresentable.h"
#include "corvane/ui/WrappingText.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

// How many of the terminal's last lines the panel repeats once a connection has ended.
constexpr int lastOutputLineCount = 8;

QFrame *divider(Qt::Orientation orientation, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    if (orientation == Qt::Vertical) {
        line->setFixedHeight(14);
    }
    return line;
}

void useBarBackground(QWidget *bar)
{
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Button);
}

// Names in the header give way to the state: cut short with an ellipsis, whole in the tool tip.
OneLineLabel *headerLabel(const QFont &font, QWidget *parent, bool secondary)
{
    auto *label = new OneLineLabel(parent);
    label->setFont(font);
    if (secondary) {
        setTextColor(label, systemcolors::secondaryText());
    }
    return label;
}

QPushButton *prominentButton(const QString &title, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TerminalTabView::TerminalTabView(std::shared_ptr<SSHSession> session, SessionManager &sessionManager,
                                 QWidget *parent)
    : QWidget(parent)
    , session_(std::move(session))
    , sessionManager_(sessionManager)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    banner_ = new ProductionWarningBanner(this);
    layout->addWidget(banner_);
    layout->addWidget(makeHeader());
    layout->addWidget(divider(Qt::Horizontal, this));
    layout->addWidget(makeTerminalArea(), 1);
    layout->addWidget(divider(Qt::Horizontal, this));
    layout->addWidget(makeActionBar());

    // The terminal comes here unless another window shows it and the user is not in this one;
    // then this tab says where it is until the user picks the session here.
    TerminalViewRepresentable &representable = TerminalViewRepresentable::forSession(*session_);
    if (!representable.holder() || isActiveWindow() || !QApplication::activeWindow()) {
        representable.embed(*terminalHolder_);
    }
    connect(&representable, &TerminalViewRepresentable::holderChanged, this,
            &TerminalTabView::showWhereTheTerminalIs);
    showWhereTheTerminalIs();

    connect(session_->profile().get(), &ServerProfile::changed, this, &TerminalTabView::showProfile);
    connect(session_.get(), &SSHSession::stateChanged, this, &TerminalTabView::showState);
    connect(session_.get(), &SSHSession::hostKeyInfoChanged, this, &TerminalTabView::hostKeyInfoChanged);
    showProfile();
    showState();
    // A key that was already waiting when the tab appeared is asked about at once.
    if (session_->hostKeyInfo()) {
        presentHostKeyAlert();
    }
}

TerminalTabView::~TerminalTabView()
{
    // This tab may hold the session's last reference; nothing it does on its way out reaches
    // a half-destroyed tab.
    QObject::disconnect(session_.get(), nullptr, this, nullptr);
    QObject::disconnect(session_->profile().get(), nullptr, this, nullptr);
    QObject::disconnect(&TerminalViewRepresentable::forSession(*session_), nullptr, this, nullptr);
    if (hostKeyAlert_) {
        // The tab goes, not the question: the key stays pending for the next tab to ask.
        hostKeyAlert_->disconnect(this);
        delete hostKeyAlert_;
    }
    TerminalViewRepresentable::forSession(*session_).release(*terminalHolder_);
}

QWidget *TerminalTabView::makeHeader()
{
    auto *header = new QWidget(this);
    useBarBackground(header);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(12);
    auto *name = new QHBoxLayout;
    name->setSpacing(5);
    name->addWidget(
        new SymbolView(QStringLiteral("server.rack"), palette().color(QPalette::WindowText), 14, header));
    nameLabel_ = headerLabel(sizedFont(font(), 12, QFont::Medium), header, false);
    name->addWidget(nameLabel_);
    row->addLayout(name);
    row->addWidget(divider(Qt::Vertical, header));
    groupLabel_ = headerLabel(sizedFont(font(), 11), header, true);
    row->addWidget(groupLabel_);
    hostDivider_ = divider(Qt::Vertical, header);
    row->addWidget(hostDivider_);
    QFont monospacedCaption = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospacedCaption.setPixelSize(11);
    hostLabel_ = headerLabel(monospacedCaption, header, true);
    row->addWidget(hostLabel_);
    row->addWidget(divider(Qt::Vertical, header));
    badge_ = new EnvironmentBadge(session_->profile()->environment(), header);
    row->addWidget(badge_);
    row->addStretch(1);
    statusView_ = new ConnectionStatusView(session_->state(), header);
    // A long state (a failure naming a long host) wraps onto more lines rather than being cut.
    statusView_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    row->addWidget(statusView_);
    return header;
}

QWidget *TerminalTabView::makeTerminalArea()
{
    auto *area = new QWidget(this);
    auto *stack = new QGridLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);
    terminalHolder_ = new QWidget(area);
    auto *holderLayout = new QVBoxLayout(terminalHolder_);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    statusPanel_ = new QWidget(area);
    statusPanel_->setAutoFillBackground(true);
    statusPanel_->setBackgroundRole(QPalette::Window);
    // The panel's content is centred both ways and takes the width it asks for, so wrapping
    // texts in it get the height their width needs.
    auto *panelColumn = new QVBoxLayout(statusPanel_);
    statusRow_ = new QHBoxLayout;
    statusRow_->addStretch(1);
    statusRow_->addStretch(1);
    panelColumn->addStretch(1);
    panelColumn->addLayout(statusRow_);
    panelColumn->addStretch(1);
    elsewhereNotice_ = makeElsewhereNotice(area);
    stack->addWidget(terminalHolder_, 0, 0);
    stack->addWidget(elsewhereNotice_, 0, 0);
    stack->addWidget(statusPanel_, 0, 0);
    statusPanel_->raise();
    return area;
}

QWidget *TerminalTabView::makeElsewhereNotice(QWidget *parent)
{
    auto *notice = new QWidget(parent);
    notice->setAutoFillBackground(true);
    notice->setBackgroundRole(QPalette::Window);
    notice->setCursor(Qt::PointingHandCursor);
    notice->installEventFilter(this);
    auto *column = new QVBoxLayout(notice);
    column->addStretch(1);
    column->addWidget(new SymbolView(QStringLiteral("terminal"), systemcolors::secondaryText(), 32,
                                     notice),
                      0, Qt::AlignHCenter);
    column->addWidget(plainLabel(tr("Shown in Another Window"), sizedFont(font(), 13, QFont::DemiBold), notice), 0,
                      Qt::AlignHCenter);
    auto *explanation = new WrappingText(
        tr("This session's terminal is shown in another window. Click here to show it in this window."), notice);
    explanation->setLineAlignment(Qt::AlignHCenter);
    explanation->setAttribute(Qt::WA_TransparentForMouseEvents);
    setTextColor(explanation, systemcolors::secondaryText());
    column->addWidget(explanation);
    column->addStretch(1);
    notice->hide();
    return notice;
}

QToolButton *TerminalTabView::makeActionButton(const QString &title, const QString &symbol,
                                               const QColor &color)
{
    auto *button = new QToolButton(this);
    button->setAutoRaise(true);
    button->setIcon(symbols::icon(symbol, color));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(28, 28);
    button->setToolTip(title);
    button->setAccessibleName(title);
    button->setText(title);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QWidget *TerminalTabView::makeActionBar()
{
    auto *bar = new QWidget(this);
    useBarBackground(bar);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(2);
    const QColor ordinary = palette().color(QPalette::ButtonText);
    clearButton_ = makeActionButton(tr("Clear"), QStringLiteral("trash"), ordinary);
    quickActionsButton_ = makeActionButton(tr("Quick Actions"), QStringLiteral("bolt.fill"), ordinary);
    duplicateButton_ =
        makeActionButton(tr("Duplicate"), QStringLiteral("plus.rectangle.on.rectangle"), ordinary);
    disconnectButton_ =
        makeActionButton(tr("Disconnect"), QStringLiteral("stop.circle"), systemcolors::red());
    connect(clearButton_, &QToolButton::clicked, this, &TerminalTabView::clear);
    connect(quickActionsButton_, &QToolButton::clicked, this, &TerminalTabView::showQuickActions);
    connect(duplicateButton_, &QToolButton::clicked, this, &TerminalTabView::duplicate);
    connect(disconnectButton_, &QToolButton::clicked, this, &TerminalTabView::disconnectSession);
    row->addWidget(clearButton_);
    row->addWidget(quickActionsButton_);
    row->addWidget(duplicateButton_);
    row->addStretch(1);
    row->addWidget(disconnectButton_);
    return bar;
}

void TerminalTabView::showProfile()
{
    const ServerProfile &profile = *session_->profile();
    banner_->setVisible(profile.isProduction());
    nameLabel_->setText(profile.displayName());
    groupLabel_->setText(profile.clientGroup());
    const QString host = profile.displayHost();
    hostDivider_->setVisible(!host.isEmpty());
    hostLabel_->setVisible(!host.isEmpty());
    hostLabel_->setText(host);
    badge_->setEnvironment(profile.environment());
    if (session_->state().is(SessionState::Case::connecting)) {
        fillStatusPanel(); // its text names the host
    }
}

void TerminalTabView::showState()
{
    statusView_->setState(session_->state());
    const bool connected = session_->state().is(SessionState::Case::connected);
    statusPanel_->setVisible(!connected);
    fillStatusPanel();
}

void TerminalTabView::fillStatusPanel()
{
    delete statusContent_;
    auto *content = new QWidget(statusPanel_);
    statusContent_ = content;
    auto *column = new QVBoxLayout(content);
    column->setSpacing(12);
    const SessionState &state = session_->state();
    const auto addCentred = [column](QWidget *widget) { column->addWidget(widget, 0, Qt::AlignHCenter); };
    // Texts that name a host or carry a message wrap within the panel, whatever their length.
    const auto addWrapped = [&](const QString &text, const QFont &font) {
        auto *wrapped = new WrappingText(text, content);
        wrapped->setFont(font);
        wrapped->setLineAlignment(Qt::AlignHCenter);
        column->addWidget(wrapped);
        return wrapped;
    };
    const auto addProgress = [&](const QString &text) {
        auto *spinner = new QProgressBar(content);
        spinner->setRange(0, 0);
        spinner->setTextVisible(false);
        spinner->setFixedWidth(160);
        addCentred(spinner);
        addWrapped(text, font());
    };
    switch (state.kind()) {
    case SessionState::Case::idle:
    case SessionState::Case::connected:
        break;
    case SessionState::Case::verifyingHostKey:
        addProgress(tr("Verifying host key…"));
        break;
    case SessionState::Case::connecting:
        addProgress(tr("Connecting to ") + session_->profile()->displayHost() + QStringLiteral("…"));
        break;
    case SessionState::Case::disconnected: {
        addCentred(new SymbolView(QStringLiteral("bolt.slash"), systemcolors::secondaryText(), 32, content));
        addCentred(plainLabel(tr("Disconnected"), sizedFont(font(), 13, QFont::DemiBold), content));
        addLastOutput(*column);
        auto *reconnect = prominentButton(tr("Reconnect"), content);
        connect(reconnect, &QPushButton::clicked, this, &TerminalTabView::reconnect);
        addCentred(reconnect);
        break;
    }
    case SessionState::Case::failed: {
        addCentred(
            new SymbolView(QStringLiteral("exclamationmark.triangle"), systemcolors::red(), 32, content));
        addCentred(plainLabel(tr("Connection Failed"), sizedFont(font(), 13, QFont::DemiBold), content));
        WrappingText *message = addWrapped(state.message(), sizedFont(font(), 12));
        message->setObjectName(QStringLiteral("failureMessage"));
        setTextColor(message, systemcolors::secondaryText());
        addLastOutput(*column);
        auto *retry = prominentButton(tr("Retry"), content);
        connect(retry, &QPushButton::clicked, this, &TerminalTabView::reconnect);
        addCentred(retry);
        break;
    }
    }
    statusRow_->insertWidget(1, content);
    content->show(); // at once, not from the event loop, so the panel never shows empty
}

void TerminalTabView::addLastOutput(QBoxLayout &column)
{
    // The panel covers the terminal, so what ssh said last (why it ended) is repeated here.
    kestrix::TerminalView *view = TerminalViewRepresentable::existingView(*session_);
    const QStringList lines = view ? lastNonEmptyLines(view->getTerminal(), lastOutputLineCount) : QStringList();
    if (lines.isEmpty()) {
        return;
    }
    auto *output = new WrappingText(lines.join(QLatin1Char('\n')), column.parentWidget());
    output->setObjectName(QStringLiteral("lastOutput"));
    QFont monospaced = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospaced.setPixelSize(12);
    output->setFont(monospaced);
    output->setFrameShape(QFrame::StyledPanel);
    output->setLineAlignment(Qt::AlignLeft);
    column.addWidget(output);
}

QString TerminalTabView::lastOutputShown() const
{
    const auto *output = statusPanel_->findChild<WrappingText *>(QStringLiteral("lastOutput"));
    return output ? output->text() : QString();
}

void TerminalTabView::reconnect()
{
    focusTerminal();
    // Started from the event loop, like every awaited session operation; the panel follows
    // the state from there.
    QMetaObject::invokeMethod(session_.get(), &SSHSession::connect, Qt::QueuedConnection);
}

void TerminalTabView::clear()
{
    // Only the local display is reset; the remote program is not told.
    if (kestrix::TerminalView *view = TerminalViewRepresentable::existingView(*session_)) {
        view->feedHostOutput(std::string_view(clearSequence));
    }
}

void TerminalTabView::showQuickActions()
{
    presentSheet(this, quickActions_, [this] { return new QuickActionsView(*session_, this); });
}

void TerminalTabView::duplicate()
{
    sessionManager_.openSession(session_->profile());
}

void TerminalTabView::disconnectSession()
{
    session_->disconnect();
}

void TerminalTabView::hostKeyInfoChanged()
{
    if (!session_->hostKeyInfo()) {
        if (hostKeyAlert_) {
            hostKeyAlert_->close();
        }
        return;
    }
    if (hostKeyAlert_) {
        hostKeyAlert_->setInfo(*session_->hostKeyInfo());
        hostKeyDecided_ = false;
        return;
    }
    presentHostKeyAlert();
}

void TerminalTabView::presentHostKeyAlert()
{
    hostKeyDecided_ = false;
    auto *alert = new HostKeyAlertView(
        *session_->hostKeyInfo(), [this] { approveHostKey(); }, [this] { rejectHostKey(); },
        session_->configuration().sshKeygenPath, this);
    hostKeyAlert_ = alert;
    connect(alert, &QDialog::finished, this, [this, alert] { hostKeyAlertClosed(alert); });
    openSheet(*alert);
}

void TerminalTabView::approveHostKey()
{
    hostKeyDecided_ = true;
    if (hostKeyAlert_) {
        hostKeyAlert_->close();
    }
    QMetaObject::invokeMethod(session_.get(), &SSHSession::trustHostKeyAndConnect, Qt::QueuedConnection);
}

void TerminalTabView::rejectHostKey()
{
    hostKeyDecided_ = true;
    if (hostKeyAlert_) {
        hostKeyAlert_->close();
    }
    session_->rejectHostKey();
}

void TerminalTabView::hostKeyAlertClosed(HostKeyAlertView *alert)
{
    if (hostKeyAlert_ == alert) {
        hostKeyAlert_ = nullptr;
        // Closed without an answer (window closed): the attempt ends as a rejection. An answer
        // already given stands; the session ignores a rejection after a decision anyway.
        if (!hostKeyDecided_) {
            session_->rejectHostKey();
        }
    }
    alert->deleteLater();
}

void TerminalTabView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A terminal no tab holds (its other window's tab went) comes here.
    TerminalViewRepresentable &representable = TerminalViewRepresentable::forSession(*session_);
    if (!representable.holder()) {
        representable.embed(*terminalHolder_);
    }
    // Being shown is not being asked for: a server chosen in the list keeps the keyboard there.
    takeFocusIfAsked();
}

bool TerminalTabView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == elsewhereNotice_ && event->type() == QEvent::MouseButtonPress) {
        focusTerminal();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalTabView::showWhereTheTerminalIs()
{
    QWidget *holder = TerminalViewRepresentable::forSession(*session_).holder();
    if (!holder && isVisible()) {
        TerminalViewRepresentable::forSession(*session_).embed(*terminalHolder_); // let go elsewhere
        return; // embedding calls back here
    }
    elsewhereNotice_->setVisible(holder != nullptr && holder != terminalHolder_);
}

bool TerminalTabView::showsTerminalElsewhere() const
{
    return !elsewhereNotice_->isHidden();
}

void TerminalTabView::focusTerminal()
{
    // The user picked this session here: its terminal comes back from another window.
    TerminalViewRepresentable::forSession(*session_).embed(*terminalHolder_);
    focusAsked_ = true;
    takeFocusIfAsked();
}

void TerminalTabView::takeFocusIfAsked()
{
    kestrix::TerminalView &view = TerminalViewRepresentable::forSession(*session_).view();
    if (!focusAsked_ || !isVisible() || view.parentWidget() != terminalHolder_) {
        return;
    }
    focusAsked_ = false;
    view.setFocus(Qt::OtherFocusReason);
}

} // namespace corvane
