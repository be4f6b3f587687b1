#pragma once

#include <QString>

namespace corvane {

// Why the host-key step stopped a connection; carries the host.
struct HostKeyError {
    enum class Case { scanFailed, rejected, keyChanged };

    Case kind;
    QString host;

    static HostKeyError scanFailed(QString host) { return {Case::scanFailed, std::move(host)}; }
    // The user answered the prompt with Reject, or closed it without an answer.
    static HostKeyError rejected(QString host) { return {Case::rejected, std::move(host)}; }
    static HostKeyError keyChanged(QString host) { return {Case::keyChanged, std::move(host)}; }

    QString errorDescription() const
    {
        switch (kind) {
        case Case::scanFailed:
            return QStringLiteral("Could not fetch host key for ") + host;
        case Case::rejected:
            return QStringLiteral("Host key for ") + host + QStringLiteral(" was rejected");
        case Case::keyChanged:
            return QStringLiteral("Host key for ") + host +
                   QStringLiteral(" has changed \u2014 connection blocked");
        }
        return {};
    }
};

} // namespace corvane
