#include "corvane/ui/Symbols.h"

#include <QPainter>
#include <QSvgRenderer>

#include <iterator>

namespace corvane::symbols {
namespace {

struct Symbol {
    const char *name;
    const char *body; // SVG elements on a 24 x 24 canvas, drawn in black
};

// Outlines use a 1.8 px stroke; ".fill" variants are solid.
constexpr Symbol symbolTable[] = {
    {"server.rack",
     R"(<g fill="none" stroke="#000" stroke-width="1.8"><rect x="3" y="3.5" width="18" height="5" rx="1.2"/>)"
     R"(<rect x="3" y="9.5" width="18" height="5" rx="1.2"/><rect x="3" y="15.5" width="18" height="5" rx="1.2"/></g>)"
     R"(<circle cx="6.5" cy="6" r="1.1"/><circle cx="6.5" cy="12" r="1.1"/><circle cx="6.5" cy="18" r="1.1"/>)"},
    {"star", R"(<path fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round" )"
             R"(d="M12 3l2.7 5.6 6.1.8-4.5 4.2 1.1 6.1L12 16.8l-5.4 2.9 1.1-6.1-4.5-4.2 6.1-.8z"/>)"},
    {"star.fill",
     R"(<path d="M12 3l2.7 5.6 6.1.8-4.5 4.2 1.1 6.1L12 16.8l-5.4 2.9 1.1-6.1-4.5-4.2 6.1-.8z"/>)"},
    {"folder",
     R"(<path fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round" )"
     R"(d="M3 6.5a1.5 1.5 0 0 1 1.5-1.5h4.8l2 2.2h8.2A1.5 1.5 0 0 1 21 8.7v9.8a1.5 1.5 0 0 1-1.5 1.5h-15A1.5 1.5 0 0 1 3 18.5z"/>)"},
    {"tag",
     R"(<path fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round" )"
     R"(d="M3.5 4.5v6.8l9.2 9.2 7.8-7.8-9.2-9.2H4.5a1 1 0 0 0-1 1z"/><circle cx="7.8" cy="8" r="1.5"/>)"},
    {"cpu",
     R"(<g fill="none" stroke="#000" stroke-width="1.8"><rect x="6" y="6" width="12" height="12" rx="1.5"/>)"
     R"(<path d="M9 3v3M12 3v3M15 3v3M9 18v3M12 18v3M15 18v3M3 9h3M3 12h3M3 15h3M18 9h3M18 12h3M18 15h3"/></g>)"
     R"(<rect x="9.5" y="9.5" width="5" height="5" rx=".6"/>)"},
    {"hammer", R"(<path d="M4 7.5l5-4.5h4.5l1.5 1.5-2 .8 3 3-2.6 2.6-3-3-1.6 1.6z"/>)"
               R"(<path d="M10.6 10.4l2.6 2.6-7 7a1.8 1.8 0 0 1-2.6-2.6z"/>)"},
    {"testtube.2",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round"><path d="M7 3h4M9 3v14a2 2 0 0 1-4 0V3"/>)"
     R"(<path d="M14 3h5M16.5 3v14.5a2.2 2.2 0 0 1-4.4 0V3"/></g><path d="M5.8 11h2.4v6a1.2 1.2 0 0 1-2.4 0z"/>)"
     R"(<path d="M13 13h2.9v4.5a1.45 1.45 0 0 1-2.9 0z"/>)"},
    {"terminal",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)"
     R"(<rect x="2.5" y="4" width="19" height="16" rx="2.5"/><path d="M7 9l3 3-3 3M12.5 15.5h4.5"/></g>)"},
    {"terminal.fill",
     R"(<path fill-rule="evenodd" d="M5 4h14a2.5 2.5 0 0 1 2.5 2.5v11A2.5 2.5 0 0 1 19 20H5a2.5 2.5 0 0 1-2.5-2.5v-11A2.5 2.5 0 0 1 5 4z)"
     R"(M6.4 8.6a.9.9 0 0 0 0 1.3L8.5 12l-2.1 2.1a.9.9 0 0 0 1.3 1.3l2.7-2.8a.9.9 0 0 0 0-1.2L7.7 8.6a.9.9 0 0 0-1.3 0z)"
     R"(M12.5 14.6a.9.9 0 0 0 0 1.8h4.5a.9.9 0 0 0 0-1.8z"/>)"},
    {"plus",
     R"(<path fill="none" stroke="#000" stroke-width="2" stroke-linecap="round" d="M12 5v14M5 12h14"/>)"},
    {"plus.circle.fill",
     R"(<path fill-rule="evenodd" d="M12 2.5a9.5 9.5 0 1 1 0 19 9.5 9.5 0 0 1 0-19zM11 7.5v3.5H7.5v2H11v3.5h2V13h3.5v-2H13V7.5z"/>)"},
    {"square.and.arrow.down",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)"
     R"(<path d="M8.5 9.5H6a1.5 1.5 0 0 0-1.5 1.5v8A1.5 1.5 0 0 0 6 20.5h12a1.5 1.5 0 0 0 1.5-1.5v-8A1.5 1.5 0 0 0 18 9.5h-2.5"/>)"
     R"(<path d="M12 3v11M8.5 10.5L12 14l3.5-3.5"/></g>)"},
    {"lock.shield.fill",
     R"(<path fill-rule="evenodd" d="M12 2.5l8 3v6c0 5-3.4 8.6-8 10-4.6-1.4-8-5-8-10v-6z)"
     R"(M9.5 10.5V9.5a2.5 2.5 0 0 1 5 0v1h.5v5.5H9V10.5zM10.8 10.5h2.4v-1a1.2 1.2 0 0 0-2.4 0z"/>)"},
    {"checkmark.shield.fill",
     R"(<path fill-rule="evenodd" d="M12 2.5l8 3v6c0 5-3.4 8.6-8 10-4.6-1.4-8-5-8-10v-6z)"
     R"(M15.9 8.9a.9.9 0 0 0-1.3 0L11 12.5l-1.6-1.6a.9.9 0 0 0-1.3 1.3l2.2 2.2a.9.9 0 0 0 1.3 0l4.3-4.2a.9.9 0 0 0 0-1.3z"/>)"},
    {"list.bullet.clipboard",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round"><path d="M8.5 4.5H6.5a1.5 1.5 0 0 0-1.5 1.5v13.5)"
     R"(a1.5 1.5 0 0 0 1.5 1.5h11a1.5 1.5 0 0 0 1.5-1.5V6a1.5 1.5 0 0 0-1.5-1.5h-2"/><rect x="8.5" y="3" width="7" height="3" rx="1"/>)"
     R"(<path stroke-linecap="round" d="M11 10.5h5M11 13.5h5M11 16.5h5"/></g>)"
     R"(<circle cx="8.3" cy="10.5" r="1"/><circle cx="8.3" cy="13.5" r="1"/><circle cx="8.3" cy="16.5" r="1"/>)"},
    {"eye", R"(<path fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round" )"
            R"(d="M2 12c2.4-4.3 5.8-6.5 10-6.5s7.6 2.2 10 6.5c-2.4 4.3-5.8 6.5-10 6.5S4.4 16.3 2 12z"/>)"
            R"(<circle cx="12" cy="12" r="3.2"/>)"},
    {"pencil.circle", R"(<circle cx="12" cy="12" r="9.5" fill="none" stroke="#000" stroke-width="1.8"/>)"
                      R"(<path d="M14.6 7.4l2 2-6.3 6.3-2.7.7.7-2.7z"/>)"},
    {"arrow.clockwise.circle",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round"><circle cx="12" cy="12" r="9.5"/>)"
     R"(<path d="M16.2 10.2A4.5 4.5 0 1 0 16.5 13"/></g><path d="M17.6 6.9v4.4h-4.4z"/>)"},
    {"exclamationmark.triangle.fill",
     R"(<path fill-rule="evenodd" d="M10.3 3.6a2 2 0 0 1 3.4 0l8 14A2 2 0 0 1 20 20.5H4a2 2 0 0 1-1.7-2.9z)"
     R"(M11 8.5l.3 6h1.4l.3-6zM12 16a1.1 1.1 0 1 0 0 2.2 1.1 1.1 0 0 0 0-2.2z"/>)"},
    {"exclamationmark.triangle",
     R"(<path fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round" )"
     R"(d="M10.3 3.6a2 2 0 0 1 3.4 0l8 14A2 2 0 0 1 20 20.5H4a2 2 0 0 1-1.7-2.9z"/>)"
     R"(<path d="M11.1 8.5l.3 6h1.2l.3-6zM12 16a1.1 1.1 0 1 0 0 2.2 1.1 1.1 0 0 0 0-2.2z"/>)"},
    {"lock.shield",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linejoin="round">)"
     R"(<path d="M12 2.5l8 3v6c0 5-3.4 8.6-8 10-4.6-1.4-8-5-8-10v-6z"/>)"
     R"(<rect x="9" y="10.5" width="6" height="5" rx=".8"/><path d="M10.3 10.5v-1a1.7 1.7 0 0 1 3.4 0v1"/></g>)"},
    {"bolt.slash",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)"
     R"(<path d="M13.5 2.5L5.5 13.5h6l-1 8 8-11h-6z"/><path d="M3.5 3.5l17 17"/></g>)"},
    {"bolt.fill", R"(<path d="M13.5 2L5 13.8h6.2L10.3 22l8.7-12h-6.3z"/>)"},
    {"trash",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)"
     R"(<path d="M4 6.5h16M9.5 6.5V4.5h5v2M6 6.5l1 13.5h10l1-13.5M10 10v6.5M14 10v6.5"/></g>)"},
    {"plus.rectangle.on.rectangle",
     R"(<g fill="none" stroke="#000" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">)"
     R"(<path d="M6 17H4.5A1.5 1.5 0 0 1 3 15.5v-10A1.5 1.5 0 0 1 4.5 4h11A1.5 1.5 0 0 1 17 5.5V7"/>)"
     R"(<rect x="7" y="8" width="14" height="12" rx="1.5"/><path d="M14 11v6M11 14h6"/></g>)"},
    {"stop.circle", R"(<circle cx="12" cy="12" r="9" fill="none" stroke="#000" stroke-width="1.8"/>)"
                    R"(<rect x="8.8" y="8.8" width="6.4" height="6.4" rx="1"/>)"},
    {"magnifyingglass",
     R"(<g fill="none" stroke="#000" stroke-linecap="round"><circle cx="10.2" cy="10.2" r="6.4" stroke-width="1.8"/>)"
     R"(<path d="M15 15l5.5 5.5" stroke-width="2.2"/></g>)"},
    // The cross is cut out of the disc by the even-odd rule.
    {"xmark.circle.fill",
     R"(<path fill-rule="evenodd" d="M2 12a10 10 0 1 0 20 0a10 10 0 1 0-20 0z)"
     R"(M14.19 8.25L15.75 9.81L13.56 12L15.75 14.19L14.19 15.75L12 13.56L9.81 15.75L8.25 14.19L10.44 12)"
     R"(L8.25 9.81L9.81 8.25L12 10.44z"/>)"},
};

const Symbol *findSymbol(const QString &name)
{
    for (const Symbol &symbol : symbolTable) {
        if (name == QLatin1String(symbol.name)) {
            return &symbol;
        }
    }
    return nullptr;
}

QByteArray svgDocument(const Symbol &symbol)
{
    return QByteArrayLiteral(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)") +
           symbol.body + QByteArrayLiteral("</svg>");
}

} // namespace

bool has(const QString &name)
{
    return findSymbol(name) != nullptr;
}

QPixmap pixmap(const QString &name, const QColor &color, int size, qreal devicePixelRatio)
{
    const Symbol *symbol = findSymbol(name);
    if (!symbol || size <= 0) {
        return {};
    }
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer renderer(svgDocument(*symbol));
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // Keep the outline's coverage, take the colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon icon(const QString &name, const QColor &color)
{
    QIcon result;
    if (!has(name)) {
        return result;
    }
    QColor disabled = color;
    disabled.setAlphaF(color.alphaF() * 0.35);
    for (int size : {16, 24, 32, 48}) {
        result.addPixmap(pixmap(name, color, size), QIcon::Normal);
        result.addPixmap(pixmap(name, color, size), QIcon::Selected);
        result.addPixmap(pixmap(name, disabled, size), QIcon::Disabled);
    }
    return result;
}

} // namespace corvane::symbols

namespace corvane {

SymbolView::SymbolView(const QString &name, const QColor &color, int size, QWidget *parent)
    : QWidget(parent)
    , name_(name)
    , color_(color)
    , size_(size)
{
    setFixedSize(size_, size_);
}

void SymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, symbols::pixmap(name_, color_, size_, devicePixelRatioF()));
}

} // namespace corvane
