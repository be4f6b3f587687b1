#include "corvane/ui/EnvironmentBadge.h"

#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"
#include "corvane/ui/TintedCapsule.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace corvane {
namespace {

constexpr qreal horizontalPadding = 6;
constexpr qreal verticalPadding = 2;

struct EnvironmentColor {
    ServerEnvironment environment;
    QColor (*color)();
};

constexpr EnvironmentColor environmentColors[] = {
    {ServerEnvironment::production, &systemcolors::red},
    {ServerEnvironment::staging, &systemcolors::orange},
    {ServerEnvironment::development, &systemcolors::blue},
    {ServerEnvironment::testing, &systemcolors::gray},
};

} // namespace

EnvironmentBadge::EnvironmentBadge(ServerEnvironment environment, QWidget *parent)
    : QWidget(parent)
    , environment_(environment)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(title(environment_));
}

void EnvironmentBadge::setEnvironment(ServerEnvironment environment)
{
    if (environment_ == environment) {
        return;
    }
    environment_ = environment;
    setAccessibleName(title(environment_));
    updateGeometry();
    update();
}

QColor EnvironmentBadge::color(ServerEnvironment environment)
{
    for (const EnvironmentColor &entry : environmentColors) {
        if (entry.environment == environment) {
            return entry.color();
        }
    }
    return systemcolors::gray();
}

QFont EnvironmentBadge::font(const QFont &base)
{
    QFont badgeFont = base;
    badgeFont.setPixelSize(10);
    badgeFont.setWeight(QFont::DemiBold);
    return badgeFont;
}

QSizeF EnvironmentBadge::sizeFor(ServerEnvironment environment, const QFont &base)
{
    const QFontMetricsF metrics(font(base));
    return {metrics.horizontalAdvance(title(environment)) + 2 * horizontalPadding,
            metrics.height() + 2 * verticalPadding};
}

void EnvironmentBadge::paint(QPainter &painter, QPointF origin, ServerEnvironment environment,
                             const QFont &base, const QColor &underlay)
{
    paintTintedCapsule(painter, QRectF(origin, sizeFor(environment, base)), color(environment),
                       backgroundOpacity, font(base), title(environment), underlay);
}

QSize EnvironmentBadge::sizeHint() const
{
    return sizeFor(environment_, QWidget::font()).toSize() + QSize(1, 1);
}

void EnvironmentBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QSizeF badge = sizeFor(environment_, QWidget::font());
    paint(painter, QPointF(0, (height() - badge.height()) / 2), environment_, QWidget::font());
}

QString ProductionWarningBanner::text()
{
    return tr("PRODUCTION — every command affects live infrastructure");
}

ProductionWarningBanner::ProductionWarningBanner(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 5, 0, 5);
    layout->setSpacing(6);
    QFont captionFont = font();
    captionFont.setPixelSize(12);
    captionFont.setWeight(QFont::DemiBold);
    auto *symbol = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), Qt::white, 12, this);
    auto *label = new QLabel(text(), this);
    label->setTextFormat(Qt::PlainText);
    label->setFont(captionFont);
    QPalette white = label->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(white);
    layout->addStretch(1);
    layout->addWidget(symbol);
    layout->addWidget(label);
    layout->addStretch(1);
}

void ProductionWarningBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor red = systemcolors::red();
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, red.lighter(112));
    gradient.setColorAt(1, red.darker(108));
    painter.fillRect(rect(), gradient);
}

} // namespace corvane
