#include "corvane/ui/RiskPresentation.h"

#include "corvane/ui/SystemColors.h"

#include <iterator>

namespace corvane {
namespace {

constexpr RiskPresentation riskPresentations[] = {
    {RiskLevel::readOnly, "eye", &systemcolors::green},
    {RiskLevel::changesState, "pencil.circle", &systemcolors::orange},
    {RiskLevel::restart, "arrow.clockwise.circle", &systemcolors::orange},
    {RiskLevel::destructive, "exclamationmark.triangle.fill", &systemcolors::red},
};

} // namespace

const RiskPresentation &RiskPresentation::of(RiskLevel risk)
{
    for (const RiskPresentation &presentation : riskPresentations) {
        if (presentation.risk == risk) {
            return presentation;
        }
    }
    // Every level has a row; an out-of-range value is shown as the most dangerous.
    return riskPresentations[std::size(riskPresentations) - 1];
}

} // namespace corvane
