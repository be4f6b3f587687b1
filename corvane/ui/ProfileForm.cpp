#include "corvane/ui/ProfileForm.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/OptionLikeValue.h"

#include <algorithm>

namespace corvane {
namespace {

bool isSpaceOrTab(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Only spaces and tabs: a line break is part of the value.
QString trimmedOfSpacesAndTabs(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpaceOrTab(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace

ProfileForm ProfileForm::from(const ServerProfile &profile)
{
    ProfileForm form;
    form.displayName = profile.displayName();
    form.sshAlias = profile.sshAlias();
    form.hostname = profile.hostname();
    form.portText = QString::number(profile.port());
    form.username = profile.username();
    form.environment = profile.environment();
    form.clientGroup = profile.clientGroup();
    form.tagsString = profile.tags().join(QStringLiteral(", "));
    form.notes = profile.notes();
    form.workingDirectory = profile.workingDirectory();
    form.preferredIdentity = profile.preferredIdentity();
    form.isFavorite = profile.isFavorite();
    return form;
}

QStringList ProfileForm::splitTags(const QString &tagsString)
{
    QStringList tags;
    for (const QString &piece : tagsString.split(QLatin1Char(','))) {
        QString tag = trimmedOfSpacesAndTabs(piece);
        if (!tag.isEmpty()) {
            tags.append(std::move(tag));
        }
    }
    return tags;
}

std::optional<int64_t> ProfileForm::portNumber() const
{
    const QString text = trimmedOfSpacesAndTabs(portText);
    // Plain digits only: no sign, no grouping, and few enough to stay far from overflow.
    if (text.isEmpty() || text.size() > 5) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return value;
}

bool ProfileForm::isValid() const
{
    if (trimmedOfSpacesAndTabs(displayName).isEmpty()) {
        return false;
    }
    if (trimmedOfSpacesAndTabs(hostname).isEmpty() && trimmedOfSpacesAndTabs(sshAlias).isEmpty()) {
        return false;
    }
    return !problems().any();
}

ProfileForm::Problems ProfileForm::problems() const
{
    Problems problems;
    if (!displayName.isEmpty() && trimmedOfSpacesAndTabs(displayName).isEmpty()) {
        problems.displayName = QStringLiteral("The display name can’t be only blanks.");
    }
    const QString alias = trimmedOfSpacesAndTabs(sshAlias);
    if (!sshAlias.isEmpty() && alias.isEmpty()) {
        problems.sshAlias = QStringLiteral("The SSH alias can’t be only blanks.");
    } else {
        problems.sshAlias = optionLikeValueProblem(alias, QStringLiteral("SSH alias"));
    }
    const QString host = trimmedOfSpacesAndTabs(hostname);
    if (!hostname.isEmpty() && host.isEmpty()) {
        problems.hostname = QStringLiteral("The host name can’t be only blanks.");
    } else if (auto problem = optionLikeValueProblem(host, QStringLiteral("host name"))) {
        problems.hostname = problem;
    } else if (std::any_of(host.begin(), host.end(), [](QChar c) { return c.isSpace(); })) {
        problems.hostname = QStringLiteral("The host name can’t contain blanks.");
    } else if (host.isEmpty() && sshAlias.isEmpty() && !trimmedOfSpacesAndTabs(displayName).isEmpty()) {
        problems.hostname = QStringLiteral("Enter a host name or an SSH alias.");
    }
    if (!portNumber()) {
        problems.port = QStringLiteral("The port must be a whole number from 1 to 65535.");
    }
    problems.username =
        optionLikeValueProblem(trimmedOfSpacesAndTabs(username), QStringLiteral("user name"));
    return problems;
}

void ProfileForm::applyTo(ServerProfile &profile) const
{
    profile.setDisplayName(displayName);
    profile.setSshAlias(trimmedOfSpacesAndTabs(sshAlias));
    profile.setHostname(trimmedOfSpacesAndTabs(hostname));
    profile.setPort(portNumber().value_or(22));
    profile.setUsername(trimmedOfSpacesAndTabs(username));
    profile.setEnvironment(environment);
    profile.setClientGroup(clientGroup);
    profile.setTags(splitTags(tagsString));
    profile.setNotes(notes);
    profile.setWorkingDirectory(workingDirectory);
    profile.setPreferredIdentity(preferredIdentity);
    profile.setIsFavorite(isFavorite);
}

std::shared_ptr<ServerProfile> ProfileForm::makeProfile() const
{
    return std::make_shared<ServerProfile>(
        displayName, trimmedOfSpacesAndTabs(sshAlias), trimmedOfSpacesAndTabs(hostname), portNumber().value_or(22),
        trimmedOfSpacesAndTabs(username), environment, clientGroup, splitTags(tagsString), notes,
        workingDirectory, preferredIdentity, isFavorite);
}

} // namespace corvane
