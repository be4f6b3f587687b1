#pragma once

#include <QString>
#include <QUuid>

#include <cstdint>

namespace corvane {

// A host key fetched by a scan, waiting for the user's decision. Two values are equal when
// they describe the same key; the id, new for every scan, is not compared.
struct HostKeyInfo {
    QUuid id;
    QString host;
    int64_t port = 22;
    // ssh-keyscan's output exactly as received: hashed known-hosts lines.
    QString rawKeyBlock;

    friend bool operator==(const HostKeyInfo &a, const HostKeyInfo &b)
    {
        return a.host == b.host && a.port == b.port && a.rawKeyBlock == b.rawKeyBlock;
    }
};

} // namespace corvane
