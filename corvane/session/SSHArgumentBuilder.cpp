#include "corvane/session/SSHArgumentBuilder.h"

#include "corvane/catalogue/ServerProfile.h"

namespace corvane {

QStringList SSHArgumentBuilder::buildArguments(const ServerProfile &profile) const
{
    QStringList arguments;
    if (profile.port() != 22) {
        arguments << QStringLiteral("-p") << QString::number(profile.port());
    }
    if (!profile.preferredIdentity().isEmpty()) {
        arguments << QStringLiteral("-i") << profile.preferredIdentity();
    }
    arguments << QStringLiteral("-o") << QStringLiteral("ServerAliveInterval=30") << QStringLiteral("-o")
              << QStringLiteral("ServerAliveCountMax=3") << QStringLiteral("-t") << profile.sshDestination();
    return arguments;
}

} // namespace corvane
