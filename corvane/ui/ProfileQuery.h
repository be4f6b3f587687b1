#pragma once

#include <memory>
#include <vector>

namespace corvane {

class ModelContext;
class ServerProfile;

// Every profile in the context, by ascending sort order; equal sort orders keep the store's
// order.
std::vector<std::shared_ptr<ServerProfile>> profilesBySortOrder(ModelContext &context);

} // namespace corvane
