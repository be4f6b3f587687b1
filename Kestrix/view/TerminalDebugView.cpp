#include "Kestrix/view/TerminalDebugView.h"

#include "Kestrix/core/Terminal.h"
#include "Kestrix/view/TerminalView.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace kestrix {
namespace {

std::string threeDigits(int64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%03lld", static_cast<long long>(value));
    return text;
}

} // namespace

QFont TerminalDebugView::chooseFont(const QStringList &families)
{
    QFont font(families.contains(QLatin1String(preferredFamily)) ? QString::fromLatin1(preferredFamily)
                                                                   : QString::fromLatin1(fallbackFamily));
    font.setPixelSize(fontSize);
    return font;
}

TerminalDebugView::TerminalDebugView(TerminalView &terminalView, const QRect &frame, QWidget *parent)
    : QWidget(parent)
    , terminalView_(&terminalView)
    , terminal_(&terminalView.getTerminal())
    , font_(chooseFont(QFontDatabase::families()))
    , height_(std::max(QFontMetricsF(font_).tightBoundingRect(QStringLiteral("W")).height(), 1.0))
    , dbg_(new QLabel(QStringLiteral("WAITING"), this))
{
    setGeometry(frame);
    terminalView.setDebug(this);
    dbg_->setTextFormat(Qt::PlainText);
    dbg_->setFont(font_);
    dbg_->setAutoFillBackground(true);
}

void TerminalDebugView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Eight points above the bottom edge, full width.
    dbg_->setGeometry(0, std::max(height() - 8 - 14, 0), width(), 14);
}

QString TerminalDebugView::statusText() const
{
    if (!terminalView_) {
        return dbg_->text();
    }
    Buffer &b = *terminal_->buffer;
    const std::string text = "x: " + std::to_string(b.x()) + " y: " + std::to_string(b.y()) +
                             " yDisp: " + std::to_string(b.yDisp()) + " yBase: " + std::to_string(b.yBase()) +
                             " clc: " + std::to_string(b.lines().allocatedSlots()) +
                             " startIndex: " + std::to_string(b.lines().startIndex());
    return QString::fromStdString(text);
}

void TerminalDebugView::refresh()
{
    QWidget::update();
    dbg_->setText(statusText());
}

std::string TerminalDebugView::lineText(const std::string &prefix, const BufferLine *line) const
{
    if (line == nullptr) {
        return prefix + "<empty>";
    }
    std::string text = prefix;
    if (line->dataSize() == 0) {
        return text;
    }
    for (int64_t col = 0; col < terminal_->cols; ++col) {
        const CharData &cell = (*line)[col];
        text += cell.code == 0 ? std::string(" ") : terminal_->stringForCellCode(cell.code);
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> TerminalDebugView::dumpRows() const
{
    std::vector<std::pair<std::string, std::string>> rows;
    if (!terminalView_) {
        return rows;
    }
    Buffer &b = *terminal_->buffer;
    const CircularBufferLineList &ring = b.lines();
    const int64_t slotCount = std::min(ring.maxLength(), ring.allocatedSlots());
    for (int64_t o = 0; o < slotCount; ++o) {
        const std::string marks = std::string(o == b.yDisp() ? "D" : " ") + (o == b.yBase() ? "B" : " ");
        const std::string n = threeDigits(o);
        const std::string s = threeDigits((o + ring.startIndex()) % ring.allocatedSlots());
        const int64_t logicalSlot = (ring.startIndex() + o) % ring.maxLength();
        rows.emplace_back(lineText("[" + n + ":" + s + "]" + marks, ring.lineInSlot(o)),
                          lineText("[" + n + "]" + marks, ring.lineInSlot(logicalSlot)));
    }
    return rows;
}

void TerminalDebugView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(font_);
    const QFontMetricsF metrics(font_);
    double top = 0;
    for (const auto &[slotLine, logicalLine] : dumpRows()) {
        if (top > height()) {
            break;
        }
        const QString first = QString::fromStdString(slotLine);
        const double baseline = top + height_;
        painter.drawText(QPointF(0, baseline), first);
        painter.drawText(QPointF(metrics.horizontalAdvance(first), baseline), QString::fromStdString(logicalLine));
        top += height_;
    }
}

} // namespace kestrix
