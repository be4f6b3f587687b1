#pragma once

#include "corvane/catalogue/ServerEnvironment.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

namespace corvane {

class ServerProfile;

// The twelve editable values of a server profile as the profile editor holds them until the
// user saves. Tags are kept as the one comma-separated text the user types.
struct ProfileForm {
    QString displayName;
    QString sshAlias;
    QString hostname;
    int64_t port = 22;
    QString username;
    ServerEnvironment environment = ServerEnvironment::development;
    QString clientGroup = QStringLiteral("General");
    QString tagsString;
    QString notes;
    QString workingDirectory;
    QString preferredIdentity;
    bool isFavorite = false;

    static ProfileForm from(const ServerProfile &profile);

    // The pieces between commas, without surrounding spaces and tabs; empty pieces are dropped,
    // order and duplicates are kept.
    static QStringList splitTags(const QString &tagsString);

    // A display name that is not blank, a host name or an alias, and nothing ssh would take
    // for an option.
    bool isValid() const;
    // The message for values ssh would take for an option; the other rules speak for
    // themselves through the disabled button.
    std::optional<QString> optionProblem() const;

    // Every value as typed; only the tags are split.
    void applyTo(ServerProfile &profile) const;
    std::shared_ptr<ServerProfile> makeProfile() const;
};

} // namespace corvane
