#include "corvane/catalogue/ServerProfile.h"
#include "corvane/ui/ProfileForm.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct TagsCase {
    const char *text;
    QStringList tags;
};

TEST(ProfileForm, SplitsTagsAtCommasTrimmingOnlySpacesAndTabs)
{
    const TagsCase cases[] = {
        {"web, ,db,,  prod , ", {"web", "db", "prod"}},
        {"a, a", {"a", "a"}},
        {"", {}},
        {" , ,\t, ", {}},
        {"\tdb\t", {"db"}},
        {"two words, x", {"two words", "x"}},
        {"line\nbreak", {"line\nbreak"}},
    };
    for (const TagsCase &c : cases) {
        EXPECT_EQ(ProfileForm::splitTags(QString::fromUtf8(c.text)), c.tags) << c.text;
    }
}

struct ValidityCase {
    const char *displayName;
    const char *sshAlias;
    const char *hostname;
    const char *port;
    const char *username;
    bool valid;
    const char *problem; // the message of the one field that has one
};

TEST(ProfileForm, ValidityNeedsANameAHostOrAliasAPortAndNothingThatReadsAsAnOption)
{
    const char *const portRange = "The port must be a whole number from 1 to 65535.";
    const ValidityCase cases[] = {
        {"web", "", "10.0.0.1", "22", "", true, nullptr},
        {"", "", "10.0.0.1", "22", "", false, nullptr},
        {"  \t ", "", "10.0.0.1", "22", "", false, "The display name can’t be only blanks."},
        {" web ", "", "10.0.0.1", "22", "", true, nullptr},
        {"\n", "", "10.0.0.1", "22", "", true, nullptr}, // line breaks are not blanks
        {"web", "", "   ", "22", "", false, "The host name can’t be only blanks."},
        {"web", "prod-db", " \t", "22", "", false, "The host name can’t be only blanks."},
        {"web", "  ", "", "22", "", false, "The SSH alias can’t be only blanks."},
        {"web", "", "my host", "22", "", false, "The host name can’t contain blanks."},
        {"web", "", " host.example ", "22", "", true, nullptr},
        {"web", "prod-db", "", "22", "", true, nullptr},
        {"web", "", "", "22", "root", false, "Enter a host name or an SSH alias."},
        {"", "", "", "22", "", false, nullptr}, // a new, empty form says nothing yet
        {"web", "-oProxyCommand=touch x", "", "22", "", false, "SSH alias can’t begin with “-”"},
        {"web", "", "-oProxyCommand=touch x", "22", "", false, "host name can’t begin with “-”"},
        {"web", "", " -x", "22", "", false, "host name can’t begin with “-”"},
        {"web", "db", "h", "22", "-oProxyCommand=touch x", false, "user name can’t begin with “-”"},
        {"web", "a-b", "h", "22", "u-", true, nullptr},
        {"web", "", "h", "1", "", true, nullptr},
        {"web", "", "h", "65535", "", true, nullptr},
        {"web", "", "h", " 2222 ", "", true, nullptr},
        {"web", "", "h", "0", "", false, portRange},
        {"web", "", "h", "65536", "", false, portRange},
        {"web", "", "h", "99999", "", false, portRange},
        {"web", "", "h", "-5", "", false, portRange},
        {"web", "", "h", "+22", "", false, portRange},
        {"web", "", "h", "abc", "", false, portRange},
        {"web", "", "h", "", "", false, portRange},
        {"web", "", "h", "2,222", "", false, portRange},
        {"web", "", "h", "22.0", "", false, portRange},
        {"web", "", "h", "99999999999999999999999", "", false, portRange},
        {"web", "", "h", "\xd9\xa2\xd9\xa2", "", false, portRange}, // Arabic-Indic digits
    };
    for (const ValidityCase &c : cases) {
        ProfileForm form;
        form.displayName = QString::fromUtf8(c.displayName);
        form.sshAlias = QString::fromUtf8(c.sshAlias);
        form.hostname = QString::fromUtf8(c.hostname);
        form.portText = QString::fromUtf8(c.port);
        form.username = QString::fromUtf8(c.username);
        SCOPED_TRACE(::testing::Message() << c.displayName << " | " << c.sshAlias << " | " << c.hostname
                                          << " | " << c.port << " | " << c.username);
        EXPECT_EQ(form.isValid(), c.valid);
        const ProfileForm::Problems problems = form.problems();
        QStringList messages;
        for (const std::optional<QString> &problem :
             {problems.displayName, problems.sshAlias, problems.hostname, problems.port, problems.username}) {
            if (problem) {
                messages << *problem;
            }
        }
        if (c.problem) {
            ASSERT_EQ(messages.size(), 1) << messages.join(" / ").toStdString();
            EXPECT_TRUE(messages[0].contains(QString::fromUtf8(c.problem))) << messages[0].toStdString();
        } else {
            EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();
        }
    }
}

TEST(ProfileForm, SavedHostAliasAndUserLoseSurroundingBlanks)
{
    ProfileForm form;
    form.displayName = QStringLiteral(" web ");
    form.sshAlias = QStringLiteral(" prod\t");
    form.hostname = QStringLiteral("  10.0.0.1 ");
    form.portText = QStringLiteral(" 0022 ");
    form.username = QStringLiteral("\tadmin ");
    ASSERT_TRUE(form.isValid());
    const auto profile = form.makeProfile();
    EXPECT_EQ(profile->displayName(), QStringLiteral(" web ")); // only shown, kept as typed
    EXPECT_EQ(profile->sshAlias(), QStringLiteral("prod"));
    EXPECT_EQ(profile->hostname(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(profile->port(), 22);
    EXPECT_EQ(profile->username(), QStringLiteral("admin"));
}

TEST(ProfileForm, RoundTripsAProfileAndLeavesItsIdentityAlone)
{
    ServerProfile profile(QStringLiteral("db"), QStringLiteral("db-alias"), QStringLiteral("10.0.0.2"), 2222,
                          QStringLiteral("admin"), ServerEnvironment::staging, QStringLiteral("Acme"),
                          {QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("n"),
                          QStringLiteral("/srv"), QStringLiteral("/k"), true, 7);
    const QUuid id = profile.id();
    const QDateTime createdAt = profile.createdAt();

    ProfileForm form = ProfileForm::from(profile);
    EXPECT_EQ(form.tagsString, QStringLiteral("a, b"));
    EXPECT_EQ(form.portText, QStringLiteral("2222"));
    EXPECT_EQ(form.environment, ServerEnvironment::staging);
    EXPECT_TRUE(form.isFavorite);

    form.displayName = QStringLiteral(" renamed ");
    form.applyTo(profile);
    EXPECT_EQ(profile.displayName(), QStringLiteral(" renamed "));
    EXPECT_EQ(profile.tags(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(profile.id(), id);
    EXPECT_EQ(profile.sortOrder(), 7);
    EXPECT_EQ(profile.createdAt(), createdAt);
    EXPECT_EQ(ProfileForm::from(profile).clientGroup, QStringLiteral("Acme"));

    const auto made = form.makeProfile();
    EXPECT_NE(made->id(), id);
    EXPECT_EQ(made->sortOrder(), 0);
    EXPECT_FALSE(made->lastConnected().has_value());
    EXPECT_EQ(made->preferredIdentity(), QStringLiteral("/k"));
}

TEST(ProfileForm, NewFormStartsInDevelopmentInGroupGeneralOnPort22)
{
    const ProfileForm form;
    EXPECT_EQ(form.environment, ServerEnvironment::development);
    EXPECT_EQ(form.clientGroup, QStringLiteral("General"));
    EXPECT_EQ(form.portText, QStringLiteral("22"));
    EXPECT_FALSE(form.isValid());
}

} // namespace
} // namespace corvane
