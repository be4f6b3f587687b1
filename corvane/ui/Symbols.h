#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

namespace corvane {

// The application's small monochrome symbols, drawn from built-in SVG outlines and tinted
// with one colour. Names follow the symbol names the screens use ("server.rack", "star.fill").
namespace symbols {

bool has(const QString &name);

// A square pixmap of `size` device-independent pixels; empty for an unknown name.
QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio = 1.0);

// An icon for list rows and buttons, tinted for the normal and the disabled look.
QIcon icon(const QString &name, const QColor &color);

} // namespace symbols

// One symbol as a fixed-size widget, drawn sharp at whatever scale its screen has.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(const QString &name, const QColor &color, int size, QWidget *parent = nullptr);

    const QString &name() const { return name_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString name_;
    QColor color_;
    int size_;
};

} // namespace corvane
