#pragma once

#include "Kestrix/core/CursorStyle.h"
#include "Kestrix/model/CharData.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace kestrix {

class TerminalView;

// The text cursor: a small widget over the cursor cell that draws the caret shape in the caret
// colour and, for a block caret, the character under it. It blinks by fading its opacity, so
// blinking redraws no rows. Mouse events pass through it to the terminal view.
class CaretView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int blinkHalfPeriodMs = 700;
    static constexpr double unfocusedOutlineWidth = 3;
    static constexpr double underlineHeight = 2;
    static constexpr double barWidth = 2;

    CaretView(CursorStyle style, TerminalView *view, const QRect &frame);

    CursorStyle style() const { return style_; }
    void setStyle(CursorStyle style);
    static bool isBlinking(CursorStyle style);

    const QColor &caretColor() const { return caretColor_; }
    void setCaretColor(const QColor &color);
    const QColor &defaultCaretColor() const { return defaultCaretColor_; }
    const std::optional<QColor> &caretTextColor() const { return caretTextColor_; }
    void setCaretTextColor(std::optional<QColor> color);
    const std::optional<QColor> &defaultCaretTextColor() const { return defaultCaretTextColor_; }
    bool tracksFocus() const { return tracksFocus_; }
    void setTracksFocus(bool tracks);
    bool focused() const { return focused_; }
    void setFocused(bool focused);

    // The cell under the cursor.
    void setText(const CharData &cell);
    const std::optional<QString> &text() const { return text_; }
    int64_t glyphColumnWidth() const { return glyphColumnWidth_; }

    // Stops any blinking and shows the caret fully; with `blink` it then fades out and back in for
    // as long as it runs.
    void updateCaretAnimation(bool blink);
    bool isBlinkRunning() const;
    double opacity() const;

    // Draws the caret into a painter whose origin is the caret's corner.
    void drawCaretContents(QPainter &painter, bool focused);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<TerminalView> terminal_;
    std::optional<QString> text_;
    Attribute attribute_;
    int64_t glyphColumnWidth_ = 1;
    bool tracksFocus_ = true;
    CursorStyle style_;
    QColor defaultCaretColor_;
    QColor caretColor_;
    std::optional<QColor> defaultCaretTextColor_;
    std::optional<QColor> caretTextColor_;
    bool focused_ = false;
    QGraphicsOpacityEffect *opacityEffect_ = nullptr;
    QPropertyAnimation *blink_ = nullptr;
};

} // namespace kestrix
