#pragma once

#include "corvane/catalogue/RiskLevel.h"

#include <QString>
#include <QUuid>

#include <vector>

namespace corvane {

// One canned remote command offered by the quick-actions sheet.
struct QuickAction {
    QUuid id;
    QString title;
    QString description;
    QString remoteCommand;
    RiskLevel risk;
    QString category;

    // The fixed catalogue, built once on first use. Identities are stable within one run of
    // the process and new in the next.
    static const std::vector<QuickAction> &builtInActions();
};

} // namespace corvane
