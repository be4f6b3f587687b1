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
    const char *username;
    bool valid;
    const char *problemMentions; // the option-like field, when there is one
};

TEST(ProfileForm, ValidityNeedsANameAndAHostOrAliasAndNothingThatReadsAsAnOption)
{
    const ValidityCase cases[] = {
        {"web", "", "10.0.0.1", "", true, nullptr},
        {"", "", "10.0.0.1", "", false, nullptr},
        {"  \t ", "", "10.0.0.1", "", false, nullptr},
        {" web ", "", "10.0.0.1", "", true, nullptr},
        {"\n", "", "10.0.0.1", "", true, nullptr}, // line breaks are not blanks
        {"web", "", "   ", "", true, nullptr},     // host and alias are tested as typed
        {"web", "prod-db", "", "", true, nullptr},
        {"web", "", "", "root", false, nullptr},
        {"web", "-oProxyCommand=touch x", "", "", false, "SSH alias"},
        {"web", "", "-oProxyCommand=touch x", "", false, "host name"},
        {"web", "db", "h", "-oProxyCommand=touch x", false, "user name"},
        {"web", "a-b", " -x", "u-", true, nullptr},
    };
    for (const ValidityCase &c : cases) {
        ProfileForm form;
        form.displayName = QString::fromUtf8(c.displayName);
        form.sshAlias = QString::fromUtf8(c.sshAlias);
        form.hostname = QString::fromUtf8(c.hostname);
        form.username = QString::fromUtf8(c.username);
        SCOPED_TRACE(::testing::Message()
                     << c.displayName << " | " << c.sshAlias << " | " << c.hostname << " | " << c.username);
        EXPECT_EQ(form.isValid(), c.valid);
        const std::optional<QString> problem = form.optionProblem();
        ASSERT_EQ(problem.has_value(), c.problemMentions != nullptr);
        if (problem) {
            EXPECT_TRUE(problem->contains(QString::fromUtf8(c.problemMentions))) << problem->toStdString();
            EXPECT_TRUE(problem->contains(QStringLiteral("“-”")));
        }
    }
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
    EXPECT_EQ(form.port, 2222);
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
    EXPECT_EQ(form.port, 22);
    EXPECT_FALSE(form.isValid());
}

} // namespace
} // namespace corvane
