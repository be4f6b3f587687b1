#pragma once

#include "corvane/catalogue/RiskLevel.h"

#include <QWidget>

namespace corvane {

// A risk level's title in a small capsule tinted with the level's colour.
class RiskBadge : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal backgroundOpacity = 0.12;

    explicit RiskBadge(RiskLevel risk, QWidget *parent = nullptr);

    RiskLevel risk() const { return risk_; }
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont badgeFont() const;

    RiskLevel risk_;
};

} // namespace corvane
