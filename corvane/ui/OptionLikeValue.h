#pragma once

#include <QString>

#include <optional>

namespace corvane {

// ssh reads an argument that begins with "-" as an option, so a profile whose alias, host name
// or user name begins with one could smuggle options onto its command line. Returns why the
// values are refused, or nothing when they are safe.
std::optional<QString> optionLikeValueProblem(const QString &sshAlias, const QString &hostname,
                                              const QString &username);

// The same for one value; `what` names it in the message ("host name").
std::optional<QString> optionLikeValueProblem(const QString &value, const QString &what);

} // namespace corvane
