#pragma once

#include <QWidget>

namespace kestrix {

// The vertical scroller along the view's trailing edge: where the viewport lies in the scrollback.
class TerminalScroller final : public QWidget {
    Q_OBJECT

public:
    enum class Style { legacy, overlay };

    // The width the scroller takes from the terminal grid.
    static int scrollerWidth(Style style);

    explicit TerminalScroller(QWidget *parent = nullptr);

    // 0 at the top of the scrollback, 1 at the live screen.
    double doubleValue() const { return doubleValue_; }
    void setDoubleValue(double value);
    // The share of the track the knob covers.
    double knobProportion() const { return knobProportion_; }
    void setKnobProportion(double proportion);
    Style scrollerStyle() const { return scrollerStyle_; }
    void setScrollerStyle(Style style) { scrollerStyle_ = style; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double doubleValue_ = 0;
    double knobProportion_ = 0;
    Style scrollerStyle_ = Style::overlay;
};

} // namespace kestrix
