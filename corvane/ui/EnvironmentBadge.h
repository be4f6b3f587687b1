#pragma once

#include "corvane/catalogue/ServerEnvironment.h"

#include <QWidget>

namespace corvane {

// The environment's title in a small capsule tinted with the environment's colour. Rows of
// item views draw it with `paint`; elsewhere it is a widget.
class EnvironmentBadge : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal backgroundOpacity = 0.18;

    explicit EnvironmentBadge(ServerEnvironment environment, QWidget *parent = nullptr);

    ServerEnvironment environment() const { return environment_; }
    void setEnvironment(ServerEnvironment environment);

    static QColor color(ServerEnvironment environment);
    static QFont font(const QFont &base);
    static QSizeF sizeFor(ServerEnvironment environment, const QFont &base);
    // Draws the badge with its top-left corner at `origin`, over `underlay` when one is given
    // (a selected row's highlight would otherwise swallow the tint).
    static void paint(QPainter &painter, QPointF origin, ServerEnvironment environment, const QFont &base,
                      const QColor &underlay = {});

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ServerEnvironment environment_;
};

// A full-width red strip warning that commands reach live machines.
class ProductionWarningBanner : public QWidget {
    Q_OBJECT

public:
    static QString text();

    explicit ProductionWarningBanner(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
