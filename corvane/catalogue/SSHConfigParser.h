#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace corvane {

class ServerProfile;

// The user's ssh client configuration could not be read as UTF-8 text.
class SSHConfigReadError : public std::runtime_error {
public:
    explicit SSHConfigReadError(const QString &message)
        : std::runtime_error(message.toStdString())
        , message_(message)
    {
    }

    const QString &message() const { return message_; }

private:
    QString message_;
};

// Reads host blocks out of an ssh client configuration. It only reads; it holds no state, so
// it may run on any thread.
class SSHConfigParser {
public:
    // One name of a "host" line with the values of the lines after it.
    struct RawHost {
        QString alias;
        QString hostname;
        QString user;
        int64_t port = 22;
        QString identityFile; // the block's first, with a leading "~" replaced by the home directory
        QString proxyJump;
        int64_t serverAliveInterval = 0;

        bool operator==(const RawHost &) const = default;
    };

    // The hosts of a configuration text, in file order, read as ssh reads it: each name of a
    // "host" line is a host of its own, quotes group and are dropped, "keyword=value" is
    // understood, a block's first value of a keyword counts, and "match" ends the block.
    // Lines it does not understand are skipped; it never fails.
    std::vector<RawHost> parse(const QString &text) const;

    // The hosts of ~/.ssh/config. A missing file has no hosts; a file that cannot be read as
    // UTF-8 text throws SSHConfigReadError.
    std::vector<RawHost> loadDefaultConfig() const;

    // The hosts of the configuration file at `path`. A file that is missing, is no regular
    // file or cannot be read as UTF-8 text throws SSHConfigReadError.
    std::vector<RawHost> loadConfigFile(const QString &path) const;

    // Whether the alias is a pattern that matches hosts ("*", "?", or a "!" negation) rather
    // than the name of one server.
    static bool isHostPattern(const QString &alias);

    // New, not yet inserted profiles in the development environment, one for each host
    // except patterns. Runs on the main thread.
    std::vector<std::shared_ptr<ServerProfile>> makeProfiles(const std::vector<RawHost> &hosts,
                                                             const QString &group) const;
};

} // namespace corvane
