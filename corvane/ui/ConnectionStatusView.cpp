#include "corvane/ui/ConnectionStatusView.h"

#include "corvane/ui/LabelStyle.h"
#include "corvane/ui/SystemColors.h"
#include "corvane/ui/WrappingText.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVariantAnimation>

namespace corvane {
namespace {

constexpr int pulseMilliseconds = 1000;

struct StateLook {
    SessionState::Case state;
    QColor (*color)();
    bool ring;
};

constexpr StateLook stateLooks[] = {
    {SessionState::Case::idle, &systemcolors::gray, false},
    {SessionState::Case::verifyingHostKey, &systemcolors::orange, true},
    {SessionState::Case::connecting, &systemcolors::orange, true},
    {SessionState::Case::connected, &systemcolors::green, false},
    {SessionState::Case::disconnected, &systemcolors::gray, false},
    {SessionState::Case::failed, &systemcolors::red, false},
};

const StateLook &lookOf(const SessionState &state)
{
    for (const StateLook &look : stateLooks) {
        if (look.state == state.kind()) {
            return look;
        }
    }
    return stateLooks[0];
}

} // namespace

// The dot and, while it pulses, its ring. The ring breathes between full and faint, easing in
// and out, for as long as it is shown.
class ConnectionStatusView::Dot : public QWidget {
public:
    explicit Dot(QWidget *parent)
        : QWidget(parent)
        , pulse_(new QVariantAnimation(this))
    {
        const int side = int(std::ceil(dotDiameter * ringScale)) + 2;
        setFixedSize(side, side);
        pulse_->setDuration(pulseMilliseconds);
        pulse_->setStartValue(1.0);
        pulse_->setKeyValueAt(0.5, 0.35);
        pulse_->setEndValue(1.0);
        pulse_->setEasingCurve(QEasingCurve::InOutSine);
        pulse_->setLoopCount(-1);
        connect(pulse_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    }

    void showLook(const QColor &color, bool ring)
    {
        color_ = color;
        if (ring != ring_) {
            ring_ = ring;
            if (ring_) {
                pulse_->start();
            } else {
                pulse_->stop();
            }
        }
        update();
    }

    bool hasRing() const { return ring_; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        painter.setPen(Qt::NoPen);
        painter.setBrush(color_);
        painter.drawEllipse(centre, dotDiameter / 2, dotDiameter / 2);
        if (ring_) {
            painter.setOpacity(ringOpacity * pulse_->currentValue().toReal());
            painter.setPen(QPen(systemcolors::orange(), 1));
            painter.setBrush(Qt::NoBrush);
            const qreal radius = dotDiameter / 2 * ringScale;
            painter.drawEllipse(centre, radius, radius);
        }
    }

private:
    QVariantAnimation *pulse_;
    QColor color_;
    bool ring_ = false;
};

ConnectionStatusView::ConnectionStatusView(const SessionState &state, QWidget *parent)
    : QWidget(parent)
    , state_(state)
    , dot_(new Dot(this))
    , label_(new WrappingText({}, this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(dot_, 0, Qt::AlignTop);
    label_->setFont(sizedFont(label_->font(), 12));
    label_->setLineCharacters(24, 48);
    setTextColor(label_, systemcolors::secondaryText());
    layout->addWidget(label_, 1);
    showState();
}

void ConnectionStatusView::setState(const SessionState &state)
{
    if (state_ == state) {
        return;
    }
    state_ = state;
    showState();
}

QColor ConnectionStatusView::dotColor(const SessionState &state)
{
    return lookOf(state).color();
}

bool ConnectionStatusView::showsRing(const SessionState &state)
{
    return lookOf(state).ring;
}

bool ConnectionStatusView::isRingShown() const
{
    return dot_->hasRing();
}

QString ConnectionStatusView::text() const
{
    return label_->text();
}

void ConnectionStatusView::showState()
{
    dot_->showLook(dotColor(state_), showsRing(state_));
    label_->setText(state_.displayText());
}

} // namespace corvane
