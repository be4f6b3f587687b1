#pragma once

#include "corvane/catalogue/RiskLevel.h"

#include <QColor>
#include <QString>

namespace corvane {

// How every screen shows a risk level: a symbol in the level's colour, and its title.
struct RiskPresentation {
    RiskLevel risk;
    const char *symbolName;
    QColor (*colorOf)();

    static const RiskPresentation &of(RiskLevel risk);

    QColor color() const { return colorOf(); }
    QString symbol() const { return QString::fromLatin1(symbolName); }
    QString title() const { return corvane::title(risk); }
};

} // namespace corvane
