#include "corvane/ui/SidebarItem.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/CanonicalText.h"

#include <QHashFunctions>

#include <algorithm>

namespace corvane {

bool SidebarItem::includes(const ServerProfile &profile) const
{
    switch (case_) {
    case Case::allServers:
        return true;
    case Case::favorites:
        return profile.isFavorite();
    case Case::environment:
        return profile.environment() == environment_;
    case Case::clientGroup:
        return canonicallyEqual(profile.clientGroup(), name_);
    case Case::tag:
        return std::any_of(profile.tags().begin(), profile.tags().end(),
                           [this](const QString &tag) { return canonicallyEqual(tag, name_); });
    }
    return false;
}

bool operator==(const SidebarItem &a, const SidebarItem &b)
{
    if (a.case_ != b.case_) {
        return false;
    }
    switch (a.case_) {
    case SidebarItem::Case::clientGroup:
    case SidebarItem::Case::tag:
        return canonicallyEqual(a.name_, b.name_);
    case SidebarItem::Case::environment:
        return a.environment_ == b.environment_;
    case SidebarItem::Case::allServers:
    case SidebarItem::Case::favorites:
        return true;
    }
    return false;
}

size_t qHash(const SidebarItem &item, size_t seed)
{
    const auto ordinal = static_cast<unsigned>(item.kind());
    switch (item.kind()) {
    case SidebarItem::Case::clientGroup:
    case SidebarItem::Case::tag:
        return qHashMulti(seed, ordinal, canonicalText(item.name()));
    case SidebarItem::Case::environment:
        return qHashMulti(seed, ordinal, rawValue(item.serverEnvironment()));
    case SidebarItem::Case::allServers:
    case SidebarItem::Case::favorites:
        break;
    }
    return qHashMulti(seed, ordinal);
}

} // namespace corvane
