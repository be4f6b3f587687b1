#include "corvane/ui/CommandPaletteRow.h"

#include "corvane/catalogue/CommandSnippet.h"
#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/CommandPaletteModel.h"
#include "corvane/ui/EnvironmentBadge.h"
#include "corvane/ui/RiskPresentation.h"
#include "corvane/ui/ServerOverviewView.h"
#include "corvane/ui/Symbols.h"
#include "corvane/ui/SystemColors.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace corvane {
namespace {

constexpr qreal horizontalMargin = 10;
constexpr qreal verticalPadding = 2;
constexpr qreal rowInset = 4; // around the padded content, so a highlighted row has some air
constexpr qreal symbolFrame = 24;
constexpr int symbolSize = 16;
constexpr qreal itemSpacing = 8;
constexpr qreal lineSpacing = 1;
constexpr qreal headingTopMargin = 8;
constexpr qreal headingBottomMargin = 3;

qreal lineHeight(const QFont &font)
{
    return QFontMetricsF(font).height();
}

void drawOneLine(QPainter &painter, const QRectF &rect, const QFont &font, const QString &text)
{
    painter.setFont(font);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetricsF(font).elidedText(text, Qt::ElideRight, rect.width()));
}

} // namespace

CommandPaletteRow::CommandPaletteRow(const CommandPaletteModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , model_(model)
{
}

QFont CommandPaletteRow::headingFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont CommandPaletteRow::titleFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(13);
    font.setWeight(QFont::Normal);
    return font;
}

QFont CommandPaletteRow::captionFont(const QFont &base)
{
    QFont font = base;
    font.setPixelSize(11);
    font.setWeight(QFont::Normal);
    return font;
}

QFont CommandPaletteRow::monospacedCaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(11);
    return font;
}

void CommandPaletteRow::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const int row = index.row();
    switch (model_.kindAt(row)) {
    case CommandPaletteModel::RowKind::serversHeading:
        paintHeading(*painter, option, CommandPaletteModel::serversTitle());
        return;
    case CommandPaletteModel::RowKind::snippetsHeading:
        paintHeading(*painter, option, CommandPaletteModel::snippetsTitle());
        return;
    case CommandPaletteModel::RowKind::server:
        if (const std::shared_ptr<ServerProfile> profile = model_.profileAt(row)) {
            const QSizeF badge = EnvironmentBadge::sizeFor(profile->environment(), option.font);
            paintEntry(*painter, option,
                       {ServerOverviewView::environmentSymbol(*profile),
                        ServerOverviewView::environmentColor(*profile, option.palette),
                        profile->displayName(), profile->displayHost(), captionFont(option.font)},
                       badge.width() + itemSpacing);
            const QRectF content = QRectF(option.rect).adjusted(horizontalMargin, 0, -horizontalMargin, 0);
            const bool selected = option.state & QStyle::State_Selected;
            EnvironmentBadge::paint(
                *painter, QPointF(content.right() - badge.width(), content.center().y() - badge.height() / 2),
                profile->environment(), option.font,
                selected ? option.palette.color(QPalette::Base) : QColor());
        }
        return;
    case CommandPaletteModel::RowKind::snippet:
        if (const std::shared_ptr<CommandSnippet> snippet = model_.snippetAt(row)) {
            const RiskPresentation &risk = RiskPresentation::of(snippet->risk());
            paintEntry(
                *painter, option,
                {risk.symbol(), risk.color(), snippet->title(), snippet->command(), monospacedCaptionFont()},
                0);
        }
        return;
    }
}

void CommandPaletteRow::paintHeading(QPainter &painter, const QStyleOptionViewItem &option,
                                     const QString &title) const
{
    const QFont font = headingFont(option.font);
    const QRectF rect =
        QRectF(option.rect)
            .adjusted(horizontalMargin, headingTopMargin, -horizontalMargin, -headingBottomMargin);
    painter.save();
    painter.setPen(systemcolors::secondaryText());
    drawOneLine(painter, rect, font, title);
    painter.restore();
}

void CommandPaletteRow::paintEntry(QPainter &painter, const QStyleOptionViewItem &option, const Texts &texts,
                                   qreal trailingWidth) const
{
    // Only server rows are enabled, so only they light up when hovered or highlighted.
    // Snippet rows are drawn in the normal colours all the same: they are shown, not disabled.
    if (option.state & QStyle::State_Enabled) {
        QStyleOptionViewItem panel = option;
        panel.text.clear();
        panel.icon = QIcon();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, &painter, widget);
    }

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QColor primary = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(selected ? 0.85f : systemcolors::secondaryText().alphaF());

    const QRectF content = QRectF(option.rect)
                               .adjusted(horizontalMargin, rowInset + verticalPadding, -horizontalMargin,
                                         -rowInset - verticalPadding);
    painter.save();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap symbol = symbols::pixmap(texts.symbol, texts.symbolColor, symbolSize, ratio);
    painter.drawPixmap(
        QPointF(content.left() + (symbolFrame - symbolSize) / 2, content.center().y() - symbolSize / 2.0),
        symbol);

    const QFont title = titleFont(option.font);
    const qreal textLeft = content.left() + symbolFrame + itemSpacing;
    const qreal textWidth = std::max(0.0, content.right() - trailingWidth - textLeft);
    const qreal textHeight = lineHeight(title) + lineSpacing + lineHeight(texts.captionFont);
    const qreal top = content.center().y() - textHeight / 2;
    painter.setPen(primary);
    drawOneLine(painter, QRectF(textLeft, top, textWidth, lineHeight(title)), title, texts.title);
    painter.setPen(secondary);
    drawOneLine(
        painter,
        QRectF(textLeft, top + lineHeight(title) + lineSpacing, textWidth, lineHeight(texts.captionFont)),
        texts.captionFont, texts.caption);
    painter.restore();
}

QSize CommandPaletteRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    qreal height = 0;
    switch (model_.kindAt(index.row())) {
    case CommandPaletteModel::RowKind::serversHeading:
    case CommandPaletteModel::RowKind::snippetsHeading:
        height = headingTopMargin + lineHeight(headingFont(option.font)) + headingBottomMargin;
        break;
    case CommandPaletteModel::RowKind::server:
    case CommandPaletteModel::RowKind::snippet: {
        const qreal texts =
            lineHeight(titleFont(option.font)) + lineSpacing +
            std::max(lineHeight(captionFont(option.font)), lineHeight(monospacedCaptionFont()));
        height = std::max(texts, qreal(symbolSize)) + 2 * (rowInset + verticalPadding);
        break;
    }
    }
    return QSize(200, int(std::ceil(height)));
}

} // namespace corvane
