#include "corvane/ui/HostKeyAlertView.h"

#include "corvane/ui/HostKeyFingerprints.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace corvane {
namespace {

QFont monospacedCaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    return font;
}

// A button the keyboard reaches only through its own shortcut, never through Return.
QPushButton *shortcutButton(const QString &title, const QKeySequence &shortcut, QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setToolTip(shortcut.toString(QKeySequence::NativeText));
    auto *activation = new QShortcut(shortcut, parent);
    QObject::connect(activation, &QShortcut::activated, button, &QPushButton::click);
    return button;
}

} // namespace

HostKeyAlertView::HostKeyAlertView(HostKeyInfo info, std::function<void()> onApprove,
                                   std::function<void()> onReject, QString sshKeygenPath, QWidget *parent)
    : QDialog(parent)
    , info_(std::move(info))
    , onApprove_(std::move(onApprove))
    , onReject_(std::move(onReject))
    , sshKeygenPath_(std::move(sshKeygenPath))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Unknown Host Key"));
    setFixedWidth(promptWidth);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);
    layout->addWidget(makeHeader());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    auto *warning =
        plainLabel(tr("This is the first time connecting to this host. Verify the fingerprint below "
                      "with a trusted source before accepting."),
                   sizedFont(font(), 12), this, true);
    warning->setWordWrap(true);
    layout->addWidget(warning);
    fingerprintLabel_ = plainLabel(QString(), monospacedCaptionFont(), this);
    fingerprintLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fingerprintLabel_->setWordWrap(true);
    layout->addWidget(fingerprintLabel_);
    layout->addWidget(makeKeyBox());
    layout->addWidget(makeButtons());
    showInfo();
}

HostKeyAlertView::~HostKeyAlertView() = default;

QString HostKeyAlertView::hostLine(const HostKeyInfo &info)
{
    return info.port == 22 ? info.host : info.host + QLatin1Char(':') + QString::number(info.port);
}

QWidget *HostKeyAlertView::makeHeader()
{
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new SymbolView(QStringLiteral("lock.shield"), systemcolors::orange(), 32, header));
    auto *titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(plainLabel(tr("Unknown Host Key"), sizedFont(font(), 13, QFont::DemiBold), header));
    hostLabel_ = plainLabel(QString(), sizedFont(font(), 11), header, true);
    titles->addWidget(hostLabel_);
    row->addLayout(titles, 1);
    return header;
}

QWidget *HostKeyAlertView::makeKeyBox()
{
    auto *box = new QGroupBox(tr("Raw Host Key"), this);
    auto *layout = new QVBoxLayout(box);
    keyBlock_ = new QPlainTextEdit(box);
    keyBlock_->setReadOnly(true);
    keyBlock_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    keyBlock_->setFont(monospacedCaptionFont());
    keyBlock_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    keyBlock_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    keyBlock_->setMaximumHeight(keyBlockMaximumHeight);
    keyBlock_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(keyBlock_);
    return box;
}

QWidget *HostKeyAlertView::makeButtons()
{
    auto *buttons = new QWidget(this);
    auto *row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    rejectButton_ = shortcutButton(tr("Reject"), QKeySequence(Qt::CTRL | Qt::Key_Escape), this);
    QPalette destructive = rejectButton_->palette();
    destructive.setColor(QPalette::ButtonText, systemcolors::red());
    rejectButton_->setPalette(destructive);
    approveButton_ = shortcutButton(tr("Trust and Connect"), QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    auto *enterActivation = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), this);
    connect(enterActivation, &QShortcut::activated, approveButton_, &QPushButton::click);
    connect(rejectButton_, &QPushButton::clicked, this, [this] {
        if (onReject_) {
            onReject_();
        }
    });
    connect(approveButton_, &QPushButton::clicked, this, [this] {
        if (onApprove_) {
            onApprove_();
        }
    });
    row->addWidget(rejectButton_);
    row->addStretch(1);
    row->addWidget(approveButton_);
    return buttons;
}

void HostKeyAlertView::setInfo(const HostKeyInfo &info)
{
    if (info_ == info && info_.id == info.id) {
        return;
    }
    info_ = info;
    showInfo();
}

void HostKeyAlertView::showInfo()
{
    hostLabel_->setText(hostLine(info_));
    keyBlock_->setPlainText(info_.rawKeyBlock);
    fingerprintLabel_->clear();
    delete fingerprints_;
    fingerprints_ = new HostKeyFingerprints(sshKeygenPath_, info_.rawKeyBlock, this);
    connect(fingerprints_, &HostKeyFingerprints::finished, this, &HostKeyAlertView::showFingerprints);
}

void HostKeyAlertView::showFingerprints()
{
    if (sender() != fingerprints_) {
        return;
    }
    const QStringList lines = fingerprints_->fingerprints();
    fingerprintLabel_->setText(lines.isEmpty() ? tr("The fingerprint could not be worked out.")
                                               : lines.join('\n'));
}

bool HostKeyAlertView::fingerprintsDone() const
{
    return fingerprints_ && fingerprints_->isFinished();
}

} // namespace corvane
