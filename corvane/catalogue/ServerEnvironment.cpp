#include "corvane/catalogue/ServerEnvironment.h"

#include <QHash>

namespace corvane {

QString rawValue(ServerEnvironment environment)
{
    switch (environment) {
    case ServerEnvironment::production:
        return QStringLiteral("Production");
    case ServerEnvironment::staging:
        return QStringLiteral("Staging");
    case ServerEnvironment::development:
        return QStringLiteral("Development");
    case ServerEnvironment::testing:
        return QStringLiteral("Testing");
    }
    return {};
}

std::optional<ServerEnvironment> serverEnvironmentFromRawValue(const QString &text)
{
    for (ServerEnvironment environment : allServerEnvironments) {
        if (rawValue(environment) == text) {
            return environment;
        }
    }
    return std::nullopt;
}

size_t qHash(ServerEnvironment environment, size_t seed)
{
    return ::qHash(rawValue(environment), seed);
}

} // namespace corvane
