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
    QString portText = QStringLiteral("22"); // as typed; read by portNumber()
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

    // What the user is told beside each field whose value cannot be saved.
    struct Problems {
        std::optional<QString> displayName;
        std::optional<QString> sshAlias;
        std::optional<QString> hostname;
        std::optional<QString> port;
        std::optional<QString> username;

        bool any() const { return displayName || sshAlias || hostname || port || username; }
    };

    // The port when its text is a whole number from 1 to 65535 in plain digits.
    std::optional<int64_t> portNumber() const;

    // A display name that is not blank, a host name or an alias, a port from 1 to 65535, and
    // nothing ssh would take for an option.
    bool isValid() const;
    // A message for each field that holds a value that cannot be saved. Fields left empty get
    // none, except that a named server without a host or an alias is told it needs one.
    Problems problems() const;

    // The values as typed, except that the tags are split and the host name, alias and user
    // name, which go to ssh, lose surrounding blanks. Only for a valid form.
    void applyTo(ServerProfile &profile) const;
    std::shared_ptr<ServerProfile> makeProfile() const;
};

} // namespace corvane
