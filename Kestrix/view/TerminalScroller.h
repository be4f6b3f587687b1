#pragma once

#include <QWidget>

#include <optional>

namespace kestrix {

// The vertical scroller along the view's trailing edge: where the viewport lies in the scrollback.
// A press above or below the knob pages; dragging the knob moves its value. Each of these reports
// `activated`, and `hitPart` then says which part was used.
class TerminalScroller final : public QWidget {
    Q_OBJECT

public:
    enum class Style { legacy, overlay };
    enum class Part { noPart, decrementPage, knob, incrementPage, decrementLine, incrementLine, knobSlot };

    // The width the scroller takes from the terminal grid: the overlay style draws a slim knob
    // only, the legacy style a track with room around the knob.
    static int scrollerWidth(Style style);

    explicit TerminalScroller(QWidget *parent = nullptr);

    // 0 at the top of the scrollback, 1 at the live screen.
    double doubleValue() const { return doubleValue_; }
    void setDoubleValue(double value);
    // The share of the track the knob covers.
    double knobProportion() const { return knobProportion_; }
    void setKnobProportion(double proportion);
    Style scrollerStyle() const { return scrollerStyle_; }
    void setScrollerStyle(Style style);
    // The part the last press or drag used.
    Part hitPart() const { return hitPart_; }
    // The part under a point of the scroller.
    Part testPart(QPointF point) const;
    // Where the knob lies on the track, in the scroller's coordinates.
    QRectF knobRect() const;

signals:
    void activated();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double doubleValue_ = 0;
    double knobProportion_ = 0;
    Style scrollerStyle_ = Style::overlay;
    Part hitPart_ = Part::noPart;
    // While the knob is dragged: how far below the knob's top it was taken.
    std::optional<double> knobGrabOffset_;
};

} // namespace kestrix
