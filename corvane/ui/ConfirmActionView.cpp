#include "corvane/ui/ConfirmActionView.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/CanonicalText.h"
#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/RiskPresentation.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

QFont monospacedBodyFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    return font;
}

QLabel *symbolLabel(const QString &symbol, const QColor &color, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(symbols::pixmap(symbol, color, size, parent->devicePixelRatioF()));
    label->setFixedSize(size, size);
    return label;
}

// Text built around a name that came from the user: the name is escaped and keeps its blanks.
QString boldName(const QString &name)
{
    return QStringLiteral("<b style=\"white-space:pre-wrap\">") + name.toHtmlEscaped() +
           QStringLiteral("</b>");
}

} // namespace

ConfirmActionView::ConfirmActionView(QuickAction action, std::shared_ptr<ServerProfile> profile,
                                     std::function<void()> onConfirm, std::function<void()> onCancel,
                                     QWidget *parent)
    : QDialog(parent)
    , action_(std::move(action))
    , profile_(std::move(profile))
    , onConfirm_(std::move(onConfirm))
    , onCancel_(std::move(onCancel))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(action_.title);
    setFixedWidth(sheetWidth);

    auto *column = new QVBoxLayout(this);
    column->setSpacing(16);
    column->setContentsMargins(20, 20, 20, 20);
    column->addWidget(makeHeader());
    column->addWidget(makeProductionBanner());
    column->addWidget(makeCommandBox());
    column->addWidget(makeRiskLine());
    column->addWidget(makeNameCheck());
    column->addWidget(makeButtonRow());

    // The profile may change while the sheet is open, even to production.
    connect(profile_.get(), &ServerProfile::changed, this, &ConfirmActionView::profileChanged);
    profileChanged();
}

ConfirmActionView::~ConfirmActionView() = default;

QString ConfirmActionView::confirmLabel(RiskLevel risk)
{
    return risk == RiskLevel::destructive ? QStringLiteral("Run (Destructive)")
                                          : QStringLiteral("Run Command");
}

bool ConfirmActionView::needsTypedName() const
{
    return action_.risk == RiskLevel::destructive && profile_->isProduction();
}

bool ConfirmActionView::canConfirm() const
{
    if (!needsTypedName()) {
        return true;
    }
    // Exact: case and blanks count, only canonically equivalent spellings are the same.
    return canonicallyEqual(typedName_, profile_->displayName());
}

QWidget *ConfirmActionView::makeHeader()
{
    const RiskPresentation &risk = RiskPresentation::of(action_.risk);
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(symbolLabel(risk.symbol(), risk.color(), 26, header), 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    QLabel *title = plainLabel(action_.title, header);
    title->setObjectName(QStringLiteral("actionTitle"));
    title->setFont(sizedFont(font(), 13, QFont::Bold));
    QLabel *description = plainLabel(action_.description, header);
    description->setObjectName(QStringLiteral("actionDescription"));
    description->setFont(sizedFont(font(), 11));
    description->setWordWrap(true);
    setTextColor(description, systemcolors::secondaryText());
    texts->addWidget(title);
    texts->addWidget(description);
    row->addLayout(texts, 1);
    return header;
}

QWidget *ConfirmActionView::makeProductionBanner()
{
    banner_ = new QFrame(this);
    banner_->setObjectName(QStringLiteral("productionBanner"));
    QColor tint = systemcolors::red();
    tint.setAlphaF(0.08);
    banner_->setStyleSheet(QStringLiteral("#productionBanner { background-color: %1; border-radius: 8px; }")
                               .arg(tint.name(QColor::HexArgb)));
    auto *row = new QHBoxLayout(banner_);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(6);
    row->addWidget(
        symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), systemcolors::red(), 14, banner_), 0,
        Qt::AlignVCenter);
    bannerText_ = new QLabel(banner_);
    bannerText_->setTextFormat(Qt::RichText);
    bannerText_->setTextInteractionFlags(Qt::NoTextInteraction);
    bannerText_->setFont(sizedFont(font(), 12));
    bannerText_->setWordWrap(true);
    row->addWidget(bannerText_, 1);
    return banner_;
}

QWidget *ConfirmActionView::makeCommandBox()
{
    auto *box = new QGroupBox(QStringLiteral("Remote command"), this);
    auto *layout = new QVBoxLayout(box);
    QLabel *command = plainLabel(action_.remoteCommand, box);
    command->setObjectName(QStringLiteral("remoteCommand"));
    command->setFont(monospacedBodyFont());
    command->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    command->setWordWrap(true);
    command->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    command->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layout->addWidget(command);
    return box;
}

QWidget *ConfirmActionView::makeRiskLine()
{
    const RiskPresentation &risk = RiskPresentation::of(action_.risk);
    auto *line = new QLabel(this);
    line->setObjectName(QStringLiteral("riskLine"));
    line->setTextFormat(Qt::RichText);
    line->setText(QStringLiteral("Risk: <b>") + risk.title().toHtmlEscaped() + QStringLiteral("</b>"));
    line->setFont(sizedFont(font(), 12));
    setTextColor(line, risk.color());
    return line;
}

QWidget *ConfirmActionView::makeNameCheck()
{
    nameCheck_ = new QWidget(this);
    auto *layout = new QVBoxLayout(nameCheck_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    auto *divider = new QFrame(nameCheck_);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    QLabel *prompt = plainLabel(QStringLiteral("Type the server name to confirm:"), nameCheck_);
    prompt->setFont(sizedFont(font(), 12));
    setTextColor(prompt, systemcolors::secondaryText());
    layout->addWidget(prompt);
    nameField_ = new QLineEdit(nameCheck_);
    nameField_->setFont(monospacedBodyFont());
    layout->addWidget(nameField_);
    connect(nameField_, &QLineEdit::textChanged, this, [this](const QString &text) {
        typedName_ = text;
        updateConfirmButton();
    });
    return nameCheck_;
}

QWidget *ConfirmActionView::makeButtonRow()
{
    auto *buttons = new QWidget(this);
    auto *row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);

    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), buttons);
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { onCancel_(); });

    const RiskPresentation &risk = RiskPresentation::of(action_.risk);
    confirmButton_ = new QPushButton(confirmLabel(action_.risk), buttons);
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    // Return presses the default button only while it is enabled.
    confirmButton_->setDefault(true);
    QColor pressed = risk.color().darker(115);
    confirmButton_->setStyleSheet(
        QStringLiteral(
            "#confirmButton { background-color: %1; color: white; border-radius: 5px; padding: 4px 12px; }"
            "#confirmButton:pressed { background-color: %2; }"
            "#confirmButton:disabled { background-color: %3; color: %4; }")
            .arg(risk.color().name(), pressed.name(), systemcolors::quaternaryText().name(QColor::HexArgb),
                 systemcolors::tertiaryText().name(QColor::HexArgb)));
    connect(confirmButton_, &QPushButton::clicked, this, [this] {
        if (canConfirm()) {
            onConfirm_();
        }
    });

    row->addWidget(cancelButton_);
    row->addStretch(1);
    row->addWidget(confirmButton_);
    return buttons;
}

void ConfirmActionView::profileChanged()
{
    const bool production = profile_->isProduction();
    banner_->setVisible(production);
    bannerText_->setText(QStringLiteral("This runs on ") + boldName(profile_->displayName()) +
                         QStringLiteral(" \u2014 a production server"));
    nameCheck_->setVisible(needsTypedName());
    nameField_->setPlaceholderText(profile_->displayName());
    updateConfirmButton();
    adjustSize();
}

void ConfirmActionView::updateConfirmButton()
{
    confirmButton_->setEnabled(canConfirm());
}

void ConfirmActionView::keyPressEvent(QKeyEvent *event)
{
    // Control-Escape is "Cancel"'s own key; it reaches here from whichever child has focus.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::ControlModifier) {
        cancelButton_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ConfirmActionView::reject()
{
    onCancel_();
}

} // namespace corvane
