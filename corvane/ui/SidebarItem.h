#pragma once

#include "corvane/catalogue/ServerEnvironment.h"

#include <QString>

#include <optional>

namespace corvane {

class ServerProfile;

// What the sidebar has chosen: every server, the favourites, one client group, one
// environment or one tag. Names compare canonically (see CanonicalText).
class SidebarItem {
public:
    // Declared in this order; the ordinal feeds the hash.
    enum class Case { allServers, clientGroup, environment, favorites, tag };

    static SidebarItem allServers() { return SidebarItem(Case::allServers); }
    static SidebarItem clientGroup(QString name) { return SidebarItem(Case::clientGroup, std::move(name)); }
    static SidebarItem environment(ServerEnvironment environment)
    {
        return SidebarItem(Case::environment, {}, environment);
    }
    static SidebarItem favorites() { return SidebarItem(Case::favorites); }
    static SidebarItem tag(QString name) { return SidebarItem(Case::tag, std::move(name)); }

    Case kind() const { return case_; }
    // The group name or the tag; empty for the other cases.
    const QString &name() const { return name_; }
    // The environment of an `environment` item.
    ServerEnvironment serverEnvironment() const { return environment_; }

    // Whether the item stands for the profile (a tag matches when any entry of the profile's
    // tags equals it).
    bool includes(const ServerProfile &profile) const;

    friend bool operator==(const SidebarItem &a, const SidebarItem &b);

private:
    explicit SidebarItem(Case value, QString name = {},
                         ServerEnvironment environment = ServerEnvironment::development)
        : case_(value)
        , name_(std::move(name))
        , environment_(environment)
    {
    }

    Case case_;
    QString name_;
    ServerEnvironment environment_;
};

size_t qHash(const SidebarItem &item, size_t seed = 0);

// The sidebar's selection: no value when nothing is selected.
using SidebarSelection = std::optional<SidebarItem>;

} // namespace corvane
