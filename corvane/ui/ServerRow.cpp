#include "corvane/ui/ServerRow.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/session/SSHSession.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/ServerListModel.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace corvane {
namespace {

constexpr qreal leadingMargin = 8;
constexpr qreal trailingMargin = 8;
constexpr qreal verticalPadding = 4;
constexpr qreal dotToText = 10;
constexpr qreal lineSpacing = 3;
constexpr qreal nameItemSpacing = 5;
constexpr qreal reachToPort = 3;
constexpr int starSize = 9;

QColor mix(const QColor &from, const QColor &to, qreal level)
{
    const qreal t = std::clamp(level, 0.0, 1.0);
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t),
                            float(from.alphaF() + (to.alphaF() - from.alphaF()) * t));
}

qreal lineHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

} // namespace

QColor StatusDot::fill(qreal level)
{
    QColor unlit = systemcolors::secondaryText();
    unlit.setAlphaF(unlit.alphaF() * 0.3f);
    return mix(unlit, systemcolors::green(), level);
}

QColor StatusDot::glow(qreal level)
{
    QColor lit = systemcolors::green();
    lit.setAlphaF(0.6f);
    QColor clear = systemcolors::green();
    clear.setAlphaF(0);
    return mix(clear, lit, level);
}

void StatusDot::paint(QPainter &painter, QPointF centre, qreal level)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor glowColor = glow(level);
    if (glowColor.alpha() > 0) {
        const qreal outer = diameter / 2 + glowRadius;
        QRadialGradient halo(centre, outer);
        QColor edge = glowColor;
        edge.setAlpha(0);
        halo.setColorAt(diameter / 2 / outer, glowColor);
        halo.setColorAt(1, edge);
        painter.setBrush(halo);
        painter.drawEllipse(centre, outer, outer);
    }
    painter.setBrush(fill(level));
    painter.drawEllipse(centre, diameter / 2, diameter / 2);
    painter.restore();
}

ServerRow::ServerRow(const ServerListModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , model_(model)
{
}

QString ServerRow::userAtHost(const ServerProfile &profile)
{
    const QString host = profile.displayHost();
    if (profile.username().isEmpty()) {
        return host;
    }
    return profile.username() + QLatin1Char('@') + host;
}

std::optional<QString> ServerRow::portText(const ServerProfile &profile)
{
    if (profile.port() == 22) {
        return std::nullopt;
    }
    return QLatin1Char(':') + QString::number(profile.port());
}

bool ServerRow::hasActiveSession(const std::vector<std::shared_ptr<SSHSession>> &sessions)
{
    return std::any_of(sessions.begin(), sessions.end(), [](const std::shared_ptr<SSHSession> &session) {
        const SessionState::Case state = session->state().kind();
        return state == SessionState::Case::verifyingHostKey || state == SessionState::Case::connecting ||
               state == SessionState::Case::connected;
    });
}

QString ServerRow::notesLine(const QString &notes)
{
    const qsizetype end = notes.indexOf(QRegularExpression(QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]")));
    if (end < 0) {
        return notes;
    }
    return notes.left(end) + QChar(0x2026);
}

QFont ServerRow::nameFont(const QFont &base, bool isProduction)
{
    QFont font = base;
    font.setPixelSize(13);
    font.setWeight(isProduction ? QFont::DemiBold : QFont::Normal);
    return font;
}

QFont ServerRow::reachFont(const QFont &)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    return font;
}

QFont ServerRow::notesFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(10);
    font.setWeight(QFont::Normal);
    return font;
}

void ServerRow::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ServerProfile *profile = model_.profileAt(index.row());
    if (!profile) {
        return;
    }
    QStyleOptionViewItem panel = option;
    initStyleOption(&panel, index);
    panel.text.clear();
    panel.icon = QIcon();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    const QColor primary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(selected ? 0.85f : systemcolors::secondaryText().alphaF());
    QColor tertiary = primary;
    tertiary.setAlphaF(selected ? 0.7f : systemcolors::tertiaryText().alphaF());

    const QRectF bounds =
        QRectF(option.rect).adjusted(leadingMargin, verticalPadding, -trailingMargin, -verticalPadding);
    const QFont name = nameFont(option.font, profile->isProduction());
    const QFont reach = reachFont(option.font);
    const QFont notes = notesFont(option.font);
    const bool hasNotes = !profile->notes().isEmpty();
    const qreal textHeight =
        lineHeight(name) + lineSpacing + lineHeight(reach) + (hasNotes ? lineSpacing + lineHeight(notes) : 0);
    const qreal top = bounds.top() + (bounds.height() - textHeight) / 2;

    StatusDot::paint(*painter, QPointF(bounds.left() + StatusDot::diameter / 2, bounds.center().y()),
                     model_.dotLevel(index.row()));

    const qreal textLeft = bounds.left() + StatusDot::diameter + dotToText;
    qreal trailing = bounds.right();
    painter->save();

    // Name line: name, flexible space, star, badge.
    const qreal nameHeight = lineHeight(name);
    const QSizeF badge = EnvironmentBadge::sizeFor(profile->environment(), option.font);
    trailing -= badge.width();
    EnvironmentBadge::paint(*painter, QPointF(trailing, top + (nameHeight - badge.height()) / 2),
                            profile->environment(), option.font,
                            selected ? palette.color(QPalette::Base) : QColor());
    if (profile->isFavorite()) {
        trailing -= nameItemSpacing + starSize;
        const QPixmap star = symbols::pixmap(QStringLiteral("star.fill"), systemcolors::yellow(), starSize,
                                             painter->device()->devicePixelRatioF());
        painter->drawPixmap(QPointF(trailing, top + (nameHeight - starSize) / 2), star);
    }
    trailing -= nameItemSpacing;
    painter->setFont(name);
    painter->setPen(primary);
    const QRectF nameRect(textLeft, top, std::max(0.0, trailing - textLeft), nameHeight);
    painter->drawText(
        nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QFontMetricsF(name).elidedText(profile->displayName(), Qt::ElideRight, nameRect.width()));

    // Reach line: user@host, then the port in a lighter style.
    const qreal reachTop = top + nameHeight + lineSpacing;
    const QFontMetricsF reachMetrics(reach);
    const std::optional<QString> port = portText(*profile);
    const qreal portWidth = port ? reachMetrics.horizontalAdvance(*port) + reachToPort : 0;
    const qreal reachSpace = std::max(0.0, bounds.right() - textLeft - portWidth);
    const QString reachText = reachMetrics.elidedText(userAtHost(*profile), Qt::ElideRight, reachSpace);
    painter->setFont(reach);
    painter->setPen(secondary);
    const QRectF reachRect(textLeft, reachTop, reachSpace, reachMetrics.height());
    painter->drawText(reachRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, reachText);
    if (port) {
        painter->setPen(tertiary);
        const qreal portLeft = textLeft + reachMetrics.horizontalAdvance(reachText) + reachToPort;
        painter->drawText(QRectF(portLeft, reachTop, portWidth, reachMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, *port);
    }

    if (hasNotes) {
        const qreal notesTop = reachTop + reachMetrics.height() + lineSpacing;
        const QFontMetricsF notesMetrics(notes);
        const qreal width = std::max(0.0, bounds.right() - textLeft);
        painter->setFont(notes);
        painter->setPen(tertiary);
        painter->drawText(QRectF(textLeft, notesTop, width, notesMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          notesMetrics.elidedText(notesLine(profile->notes()), Qt::ElideRight, width));
    }
    painter->restore();
}

QSize ServerRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ServerProfile *profile = model_.profileAt(index.row());
    const bool isProduction = profile && profile->isProduction();
    const bool hasNotes = profile && !profile->notes().isEmpty();
    const qreal height = 2 * verticalPadding + lineHeight(nameFont(option.font, isProduction)) + lineSpacing +
                         lineHeight(reachFont(option.font)) +
                         (hasNotes ? lineSpacing + lineHeight(notesFont(option.font)) : 0);
    return QSize(240, int(std::ceil(height)) + 2);
}

} // namespace corvane
