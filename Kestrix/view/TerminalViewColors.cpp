// Fonts, cell metrics and colours of the view.

#include "Kestrix/view/ColorConversions.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>

namespace kestrix {

// MARK: Fonts and cell metrics

TerminalView::FontSet::FontSet(const QFont &font)
    : normal(font)
    , bold(font)
    , italic(font)
    , boldItalic(font)
{
    bold.setBold(true);
    italic.setItalic(true);
    boldItalic.setBold(true);
    boldItalic.setItalic(true);
}

QFont TerminalView::defaultFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    return font;
}

void TerminalView::restoreDefaultFont()
{
    fontSet_ = FontSet(defaultFont());
    // The widget's font follows; the font-change notice then finds the face unchanged.
    QWidget::setFont(fontSet_.normal);
}

double TerminalView::backingScale() const
{
    const double scale = environment_.backingScale ? environment_.backingScale() : devicePixelRatioF();
    return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

QSizeF TerminalView::computeCellDimension() const
{
    const FontMeasurement metrics = environment_.fontMeasurer->measure(fontSet_.normal);
    const double scale = backingScale();
    // Whole device pixels, so rows and columns land on pixel boundaries.
    const double lineHeight = std::ceil((metrics.ascent + metrics.descent + metrics.leading) * lineSpacing_);
    double height = std::ceil(lineHeight * scale) / scale;
    double width = std::ceil(metrics.advanceOfW * scale) / scale;
    if (!std::isfinite(width)) {
        width = 1;
    }
    if (!std::isfinite(height)) {
        height = 1;
    }
    return {std::max(width, 1.0), std::max(std::min(height, maximumCellHeight), 1.0)};
}

void TerminalView::resetCaches()
{
    colors_.fill(std::nullopt);
    trueColors_.clear();
    attributes_.clear();
    urlAttributes_.clear();
    // Shaped text depends on the fonts and the grid; it is made again on the next draw.
    cellTextPainter_.reset();
}

void TerminalView::resetFontMetrics()
{
    resetCaches();
    cellDimension_ = computeCellDimension();
    if (width() > 0 && height() > 0) {
        // The grid gets the width beside the scroller, as on every frame change.
        const auto cols = static_cast<int64_t>(widthExcludingScroller(width()) / cellDimension_->width());
        const auto rows = static_cast<int64_t>(height() / cellDimension_->height());
        resizeAfterFontChange(cols, rows);
    }
    setNeedsDisplay(rect());
}

void TerminalView::resizeAfterFontChange(int64_t cols, int64_t rows)
{
    Terminal &t = *terminal_;
    const auto before = t.screenSize();
    t.resizeScreen(cols, rows);
    if (t.screenSize() == before) {
        return;
    }
    notifySizeChanged();
    updateScroller();
    // Margins and saved state fitted to the new grid.
    t.performSoftReset();
}

CellPixelSize TerminalView::cellSizeInPixels() const
{
    const double scale = backingScale();
    // std::round takes halves away from zero.
    return {static_cast<int64_t>(std::round(cellDimension_->width() * scale)),
            static_cast<int64_t>(std::round(cellDimension_->height() * scale))};
}

void TerminalView::setLineSpacing(double spacing)
{
    lineSpacing_ = spacing;
    resetFontMetrics();
}

QRectF TerminalView::optimalFrame() const
{
    double width = cellDimension_->width() * static_cast<double>(terminal_->cols);
    if (!scroller_->isHidden()) {
        width += TerminalScroller::scrollerWidth(scroller_->scrollerStyle());
    }
    return QRectF(0, 0, width, cellDimension_->height() * static_cast<double>(terminal_->rows));
}

// MARK: Colours

QColor TerminalView::nsColor(const Attribute::Color &color, bool isForeground, bool isBold, bool useBright)
{
    switch (color.kind()) {
    case Attribute::Color::Kind::ansi256: {
        int index = color.code();
        if (useBright) {
            if (index <= 6 && isBold) {
                index += 8;
            }
        } else if (index >= 8 && index <= 15) {
            // Only the bright base colours map down; the cube and the grey ramp keep their colours.
            index -= 8;
        }
        std::optional<QColor> &cached = colors_[static_cast<size_t>(index)];
        if (!cached) {
            const std::vector<Color> &palette = terminal_->ansiColors;
            cached = static_cast<size_t>(index) < palette.size()
                         ? makeNSColor(palette[static_cast<size_t>(index)])
                         : nativeForegroundColor();
        }
        return *cached;
    }
    case Attribute::Color::Kind::trueColor: {
        auto found = trueColors_.find(color);
        if (found != trueColors_.end()) {
            return found->second;
        }
        const QColor made = QColor::fromRgb(color.red(), color.green(), color.blue());
        trueColors_.emplace(color, made);
        return made;
    }
    case Attribute::Color::Kind::defaultColor:
        return isForeground ? nativeForegroundColor() : nativeBackgroundColor();
    case Attribute::Color::Kind::defaultInvertedColor:
        return inverseColor(isForeground ? nativeForegroundColor() : nativeBackgroundColor());
    }
    return nativeForegroundColor();
}

void TerminalView::setNativeForegroundColor(const QColor &color)
{
    if (settingFg_) {
        return;
    }
    settingFg_ = true;
    nativeFg_ = color;
    terminal_->setForegroundColor(colorFromNSColor(color));
    settingFg_ = false;
}

void TerminalView::setNativeBackgroundColor(const QColor &color)
{
    if (settingBg_) {
        return;
    }
    settingBg_ = true;
    nativeBg_ = color;
    terminal_->setBackgroundColor(colorFromNSColor(color));
    settingBg_ = false;
    setNeedsDisplay(rect());
}

void TerminalView::setSelectedTextBackgroundColor(const QColor &color)
{
    selectedTextBackgroundColor_ = color;
    fullRefresh();
}

void TerminalView::setSelectedTextForegroundColor(const QColor &color)
{
    selectedTextForegroundColor_ = color;
    fullRefresh();
}

void TerminalView::setCustomBlockGlyphs(bool on)
{
    customBlockGlyphs_ = on;
    fullRefresh();
}

void TerminalView::setAntiAliasCustomBlockGlyphs(bool on)
{
    antiAliasCustomBlockGlyphs_ = on;
    fullRefresh();
}

void TerminalView::colorsChanged()
{
    attributes_.clear();
    urlAttributes_.clear();
    fullRefresh();
}

void TerminalView::setUseBrightColors(bool on)
{
    if (useBrightColors_ == on) {
        return;
    }
    useBrightColors_ = on;
    colorsChanged();
}

void TerminalView::installColors(std::span<const Color> colors)
{
    if (colors.size() == 16) {
        terminal_->setBasePalette(colors);
    }
    colors_.fill(std::nullopt);
    colorsChanged();
}

void TerminalView::setForegroundColor(Color color)
{
    setNativeForegroundColor(makeNSColor(color));
    colorsChanged();
}

void TerminalView::useTextColors()
{
    setNativeForegroundColor(palette().color(QPalette::Text));
    setNativeBackgroundColor(palette().color(QPalette::Base));
}

void TerminalView::setBackgroundColor(Color color)
{
    setNativeBackgroundColor(makeNSColor(color));
    colorsChanged();
}

} // namespace kestrix
