#pragma once

#include <QLabel>

namespace corvane {

// Plain text on one line, cut short with an ellipsis when it does not fit, so a long name never
// widens its window; the whole text is its tool tip.
class OneLineLabel final : public QLabel {
    Q_OBJECT

public:
    static constexpr int minimumCharacters = 10;

    explicit OneLineLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
