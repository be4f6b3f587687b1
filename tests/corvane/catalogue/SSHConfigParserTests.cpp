#include "corvane/catalogue/SSHConfigParser.h"
#include "corvane/catalogue/ServerProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace corvane {
namespace {

using RawHost = SSHConfigParser::RawHost;

// Points HOME at a fresh directory for the life of the test.
class TemporaryHome {
public:
    TemporaryHome()
        : savedHome_(qgetenv("HOME"))
    {
        qputenv("HOME", directory_.path().toUtf8());
    }
    ~TemporaryHome() { qputenv("HOME", savedHome_); }

    QString path() const { return directory_.path(); }

    void writeConfig(const QByteArray &bytes) const
    {
        QDir(path()).mkpath(QStringLiteral(".ssh"));
        QFile file(path() + QStringLiteral("/.ssh/config"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private:
    QTemporaryDir directory_;
    QByteArray savedHome_;
};

RawHost host(const char *alias, const char *hostname = "", const char *user = "", int64_t port = 22,
             const char *identityFile = "", const char *proxyJump = "", int64_t serverAliveInterval = 0)
{
    return RawHost{
        QString::fromUtf8(alias),        QString::fromUtf8(hostname),  QString::fromUtf8(user), port,
        QString::fromUtf8(identityFile), QString::fromUtf8(proxyJump), serverAliveInterval};
}

struct ParseCase {
    const char *name;
    const char *text;
    std::vector<RawHost> hosts;
};

std::vector<ParseCase> parseCases()
{
    return {
        {"empty text", "", {}},
        {"only comments and blanks", "# a comment\n\n   \t\n  # indented comment\n", {}},
        {"keywords before the first host are ignored", "User root\nPort 2200\nHost web\n", {host("web")}},
        {"all keywords",
         "Host web\n  HostName 10.0.0.5\n  User deploy\n  Port 2222\n  ProxyJump bastion\n"
         "  ServerAliveInterval 60\n",
         {host("web", "10.0.0.5", "deploy", 2222, "", "bastion", 60)}},
        {"blocks in file order",
         "Host a\nHostName a.example\nHost b\nHostName b.example\n",
         {host("a", "a.example"), host("b", "b.example")}},
        {"mixed-case keywords, values keep their case",
         "HOST Web\nhOsTnAmE Web.Example.COM\nUSER Admin\n",
         {host("Web", "Web.Example.COM", "Admin")}},
        {"a non-numeric port is 22", "Host a\nPort ssh\n", {host("a")}},
        {"a word that begins with a hash ends the line", "Host a b #c d\nPort 2222 # custom\n",
         {host("a", "", "", 2222), host("b", "", "", 2222)}},
        {"a hash later in a line belongs to the value", "Host a\nHostName h#1\n", {host("a", "h#1")}},
        {"ports out of range are kept",
         "Host a\nPort -1\nHost b\nPort +70000\n",
         {host("a", "", "", -1), host("b", "", "", 70000)}},
        {"ports beyond 64 bits are 22",
         "Host a\nPort 9223372036854775808\nHost b\nPort -9223372036854775808\n",
         {host("a"), host("b", "", "", INT64_MIN)}},
        {"a sign alone or two signs is no number",
         "Host a\nPort +\nServerAliveInterval --5\nHost b\nServerAliveInterval 0x10\n",
         {host("a"), host("b")}},
        {"the first value of a keyword wins",
         "Host a\nHostName first\nHostName second\nUser u\nUser v\nPort 1\nPort 2\n",
         {host("a", "first", "u", 1)}},
        {"each name of a host line is a host with the block's values",
         "Host alpha beta\n  HostName h\n  User u\nHost\tgamma\t\tdelta  \n",
         {host("alpha", "h", "u"), host("beta", "h", "u"), host("gamma"), host("delta")}},
        {"quotes group and are dropped as ssh drops them",
         "Host \"my server\" 'sq' e'f'g \"\" x\nUser \"some one\"\nHostName \"h\"\n",
         {host("my server", "h", "some one"), host("sq", "h", "some one"), host("efg", "h", "some one"),
          host("x", "h", "some one")}},
        {"a backslash keeps a blank, quote or backslash",
         "Host a\\ b c\\\"d e\\\\f g\\h \"i\\\"j\"\n",
         {host("a b"), host("c\"d"), host("e\\f"), host("g\\h"), host("i\"j")}},
        {"a quote left open makes the line unreadable",
         "Host a\nHostName \"h\nHost \"b\nUser u\n",
         {host("a")}},
        {"an equals sign may join keyword and value",
         "Host=a\nUser=root\nPort = 2200\nHostName =h\nHost = b\n",
         {host("a", "h", "root", 2200), host("b")}},
        {"a host line without a name takes the lines after it", "Host a\nHost\nHostName h\n", {host("a")}},
        {"match ends the block",
         "Host a\nMatch user root\nHostName h\nInclude other\nHost b\nHostName hb\n",
         {host("a"), host("b", "hb")}},
        {"host star is parsed", "Host *\nServerAliveInterval 30\n", {host("*", "", "", 22, "", "", 30)}},
        {"CRLF line ends", "Host a\r\nHostName h\r\nPort 2200\r\n", {host("a", "h", "", 2200)}},
        {"every Unicode newline splits",
         "Host a\x0bHostName h\xc2\x85User u\xe2\x80\xa8Port 7\xe2\x80\xa9Host b\x0c",
         {host("a", "h", "u", 7), host("b")}},
        {"Unicode space separators are blanks",
         "\xe3\x80\x80Host\xc2\xa0"
         "a\xe2\x80\x83"
         "b\xe2\x80\x89\nHostName\xe2\x80\x82h\n",
         {host("a", "h"), host("b", "h")}},
    };
}

TEST(SSHConfigParser, ParsesConfigTextsAsTheClientWouldList)
{
    const SSHConfigParser parser;
    for (const ParseCase &parseCase : parseCases()) {
        EXPECT_EQ(parser.parse(QString::fromUtf8(parseCase.text)), parseCase.hosts) << parseCase.name;
    }
}

TEST(SSHConfigParser, FirstIdentityFileWinsAndTildeBecomesTheHomeDirectory)
{
    const TemporaryHome home;
    const SSHConfigParser parser;
    const auto hosts =
        parser.parse(QStringLiteral("Host a\nIdentityFile ~/.ssh/id_a\nIdentityFile ~/.ssh/id_b\n"
                                    "Host b\nIdentityFile ~deploy/key\n"
                                    "Host c\nIdentityFile \"~/.ssh/quoted\"\n"
                                    "Host d\nIdentityFile /etc/ssh/key\n"));
    ASSERT_EQ(hosts.size(), 4u);
    EXPECT_EQ(hosts[0].identityFile, home.path() + QStringLiteral("/.ssh/id_a"));
    EXPECT_EQ(hosts[1].identityFile, home.path() + QStringLiteral("deploy/key"));
    EXPECT_EQ(hosts[2].identityFile, home.path() + QStringLiteral("/.ssh/quoted"));
    EXPECT_EQ(hosts[3].identityFile, QStringLiteral("/etc/ssh/key"));
}

TEST(SSHConfigParser, MissingDefaultConfigHasNoHosts)
{
    const TemporaryHome home;
    EXPECT_TRUE(SSHConfigParser().loadDefaultConfig().empty());
}

TEST(SSHConfigParser, LoadsTheDefaultConfigFromTheHomeDirectory)
{
    const TemporaryHome home;
    home.writeConfig("\xef\xbb\xbfHost caf\xc3\xa9\nHostName h\n");
    EXPECT_EQ(SSHConfigParser().loadDefaultConfig(), std::vector<RawHost>{host("caf\xc3\xa9", "h")});
}

TEST(SSHConfigParser, DefaultConfigThatIsNotUtf8IsAnError)
{
    const char *invalid[] = {
        "Host caf\xe9\n",            // Latin-1
        "Host a\xc3\x28\n",          // broken continuation
        "Host \xc0\xaf\n",           // overlong
        "Host \xed\xa0\x80\n",       // encoded surrogate
        "Host \xf4\x90\x80\x80\n",   // beyond U+10FFFF
        "Host a\nHostName \xe2\x82", // truncated at the end
    };
    for (const char *bytes : invalid) {
        const TemporaryHome home;
        home.writeConfig(bytes);
        try {
            SSHConfigParser().loadDefaultConfig();
            ADD_FAILURE() << "no error for " << bytes;
        } catch (const SSHConfigReadError &error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("UTF-8"))) << error.message().toStdString();
        }
    }
}

TEST(SSHConfigParser, OversizedDefaultConfigIsAnErrorRatherThanReadWhole)
{
    const TemporaryHome home;
    QByteArray bytes = "Host a\n";
    bytes.append(QByteArray(16 * 1024 * 1024, '#'));
    home.writeConfig(bytes);
    EXPECT_THROW(SSHConfigParser().loadDefaultConfig(), SSHConfigReadError);
}

TEST(SSHConfigParser, UnreadableDefaultConfigIsAnError)
{
    const TemporaryHome home;
    QDir(home.path()).mkpath(QStringLiteral(".ssh/config"));
    EXPECT_THROW(SSHConfigParser().loadDefaultConfig(), SSHConfigReadError);
}

TEST(SSHConfigParser, LoadsAChosenConfigFile)
{
    const QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("hosts.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Host db\nUser admin\n");
    file.close();
    EXPECT_EQ(SSHConfigParser().loadConfigFile(path), std::vector<RawHost>{host("db", "", "admin")});
}

TEST(SSHConfigParser, ChosenFileThatIsMissingOrNoRegularFileIsAnErrorWithoutWaiting)
{
    const QTemporaryDir directory;
    const QString fifo = directory.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Opening a pipe with no writer would block; it must be refused before that.
    EXPECT_THROW(SSHConfigParser().loadConfigFile(fifo), SSHConfigReadError);
    EXPECT_THROW(SSHConfigParser().loadConfigFile(directory.filePath(QStringLiteral("missing"))),
                 SSHConfigReadError);
    EXPECT_THROW(SSHConfigParser().loadConfigFile(directory.path()), SSHConfigReadError);
}

TEST(SSHConfigParser, MakesDevelopmentProfilesForEveryHostButPatterns)
{
    const std::vector<RawHost> hosts = {
        host("web", "10.0.0.5", "deploy", 2222, "/keys/web", "bastion", 60),
        host("*"),
        host("*.internal"),
        host("db-?", "", "", -1),
        host("!old"),
        host("db", "", "", -1),
        host("web*"),
    };
    const auto profiles = SSHConfigParser().makeProfiles(hosts, "  Acme ");
    ASSERT_EQ(profiles.size(), 2u);
    const ServerProfile &web = *profiles[0];
    EXPECT_EQ(web.displayName(), "web");
    EXPECT_EQ(web.sshAlias(), "web");
    EXPECT_EQ(web.hostname(), "10.0.0.5");
    EXPECT_EQ(web.port(), 2222);
    EXPECT_EQ(web.username(), "deploy");
    EXPECT_EQ(web.environment(), ServerEnvironment::development);
    EXPECT_EQ(web.clientGroup(), "  Acme ");
    EXPECT_TRUE(web.tags().isEmpty());
    EXPECT_TRUE(web.notes().isEmpty());
    EXPECT_TRUE(web.workingDirectory().isEmpty());
    EXPECT_EQ(web.preferredIdentity(), "/keys/web");
    EXPECT_FALSE(web.isFavorite());
    EXPECT_FALSE(web.lastConnected().has_value());
    EXPECT_EQ(web.sortOrder(), 0);
    EXPECT_FALSE(web.id().isNull());
    EXPECT_LE(web.createdAt(), QDateTime::currentDateTimeUtc());
    EXPECT_EQ(profiles[1]->sshAlias(), "db");
    EXPECT_EQ(profiles[1]->port(), -1);
    EXPECT_NE(profiles[0]->id(), profiles[1]->id());
}

} // namespace
} // namespace corvane
