#include "corvane/ui/ProfileForm.h"

#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/OptionLikeValue.h"

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
    form.port = profile.port();
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

bool ProfileForm::isValid() const
{
    if (trimmedOfSpacesAndTabs(displayName).isEmpty()) {
        return false;
    }
    // Tested as typed: a host name of blanks counts.
    if (hostname.isEmpty() && sshAlias.isEmpty()) {
        return false;
    }
    return !optionProblem();
}

std::optional<QString> ProfileForm::optionProblem() const
{
    return optionLikeValueProblem(sshAlias, hostname, username);
}

void ProfileForm::applyTo(ServerProfile &profile) const
{
    profile.setDisplayName(displayName);
    profile.setSshAlias(sshAlias);
    profile.setHostname(hostname);
    profile.setPort(port);
    profile.setUsername(username);
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
    return std::make_shared<ServerProfile>(displayName, sshAlias, hostname, port, username, environment,
                                           clientGroup, splitTags(tagsString), notes, workingDirectory,
                                           preferredIdentity, isFavorite);
}

} // namespace corvane
