#include "corvane/ui/ProfileQuery.h"

#include "corvane/catalogue/ModelContext.h"
#include "corvane/catalogue/ServerProfile.h"

#include <algorithm>

namespace corvane {

std::vector<std::shared_ptr<ServerProfile>> profilesBySortOrder(ModelContext &context)
{
    auto profiles = context.fetch<ServerProfile>();
    std::stable_sort(profiles.begin(), profiles.end(),
                     [](const auto &a, const auto &b) { return a->sortOrder() < b->sortOrder(); });
    return profiles;
}

} // namespace corvane
