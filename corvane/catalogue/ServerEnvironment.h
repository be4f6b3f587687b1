#pragma once

#include <QString>

#include <array>
#include <optional>

namespace corvane {

// The deployment environment a server belongs to. The raw texts double as titles.
enum class ServerEnvironment { production, staging, development, testing };

inline constexpr std::array<ServerEnvironment, 4> allServerEnvironments = {
    ServerEnvironment::production, ServerEnvironment::staging, ServerEnvironment::development,
    ServerEnvironment::testing};

QString rawValue(ServerEnvironment environment);
inline QString title(ServerEnvironment environment)
{
    return rawValue(environment);
}

// Exact, case-sensitive match of a raw text; anything else has no environment.
std::optional<ServerEnvironment> serverEnvironmentFromRawValue(const QString &text);

size_t qHash(ServerEnvironment environment, size_t seed = 0);

} // namespace corvane
