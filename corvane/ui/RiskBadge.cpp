#include "corvane/ui/RiskBadge.h"

#include "corvane/ui/RiskPresentation.h"
#include "corvane/ui/TintedCapsule.h"

#include <QPainter>

#include <cmath>

namespace corvane {
namespace {

constexpr qreal horizontalPadding = 5;
constexpr qreal verticalPadding = 1;

} // namespace

RiskBadge::RiskBadge(RiskLevel risk, QWidget *parent)
    : QWidget(parent)
    , risk_(risk)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text());
}

QString RiskBadge::text() const
{
    return title(risk_);
}

QFont RiskBadge::badgeFont() const
{
    QFont small = font();
    small.setPixelSize(10);
    return small;
}

QSize RiskBadge::sizeHint() const
{
    const QFontMetricsF metrics(badgeFont());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 2 * horizontalPadding)),
                 int(std::ceil(metrics.height() + 2 * verticalPadding)));
}

void RiskBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintTintedCapsule(painter, QRectF(rect()), RiskPresentation::of(risk_).color(), backgroundOpacity,
                       badgeFont(), text());
}

} // namespace corvane
