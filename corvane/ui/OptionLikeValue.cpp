#include "corvane/ui/OptionLikeValue.h"

namespace corvane {

std::optional<QString> optionLikeValueProblem(const QString &value, const QString &what)
{
    if (!value.startsWith(QLatin1Char('-'))) {
        return std::nullopt;
    }
    return QStringLiteral("The %1 can’t begin with “-”: ssh would read it as an option.").arg(what);
}

std::optional<QString> optionLikeValueProblem(const QString &sshAlias, const QString &hostname,
                                              const QString &username)
{
    if (auto problem = optionLikeValueProblem(sshAlias, QStringLiteral("SSH alias"))) {
        return problem;
    }
    if (auto problem = optionLikeValueProblem(hostname, QStringLiteral("host name"))) {
        return problem;
    }
    return optionLikeValueProblem(username, QStringLiteral("user name"));
}

} // namespace corvane
