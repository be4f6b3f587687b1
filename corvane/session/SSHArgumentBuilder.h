#pragma once

#include <QStringList>

namespace corvane {

class ServerProfile;

// Turns a profile into the arguments of ssh (after the program name).
struct SSHArgumentBuilder {
    QStringList buildArguments(const ServerProfile &profile) const;
};

} // namespace corvane
