#include "corvane/catalogue/SSHConfigParser.h"

#include "corvane/catalogue/ServerProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace corvane {
namespace {

// Far beyond any real configuration; keeps a wrong file from filling memory.
constexpr qint64 maximumConfigBytes = 16 * 1024 * 1024;

bool isNewline(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: // line feed
    case 0x000B: // line tabulation
    case 0x000C: // form feed
    case 0x000D: // carriage return
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

// Tab and the Unicode space separators; never a newline.
bool isBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

// Every newline character ends a line, so a CR LF pair leaves an empty line between them.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text[i])) {
            lines.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    lines.append(text.mid(start));
    return lines;
}

QString trimmedOfBlanks(const QString &line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlank(line[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(line[end - 1])) {
        --end;
    }
    return line.mid(begin, end - begin);
}

QStringList splitWords(const QString &line)
{
    QStringList words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool blank = i == line.size() || isBlank(line[i]);
        if (blank && start >= 0) {
            words.append(line.mid(start, i - start));
            start = -1;
        } else if (!blank && start < 0) {
            start = i;
        }
    }
    return words;
}

// A decimal integer: one optional sign, then ASCII digits only, within 64 bits.
std::optional<int64_t> parseInteger(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulate towards the sign so that the most negative value fits too.
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const int digit = c - u'0';
        if (__builtin_mul_overflow(value, 10, &value) ||
            (negative ? __builtin_sub_overflow(value, digit, &value)
                      : __builtin_add_overflow(value, digit, &value))) {
            return std::nullopt;
        }
    }
    return value;
}

QString expandedIdentityFile(const QString &value)
{
    // Only the "~" itself is replaced, so "~user/key" becomes "<home>user/key".
    if (value.startsWith(QLatin1Char('~'))) {
        return QDir::homePath() + value.mid(1);
    }
    return value;
}

void applyKeyword(SSHConfigParser::RawHost &host, const QString &keyword, const QString &value)
{
    if (keyword == u"hostname") {
        host.hostname = value;
    } else if (keyword == u"user") {
        host.user = value;
    } else if (keyword == u"port") {
        host.port = parseInteger(value).value_or(22);
    } else if (keyword == u"identityfile") {
        if (host.identityFile.isEmpty()) {
            host.identityFile = expandedIdentityFile(value);
        }
    } else if (keyword == u"proxyjump") {
        host.proxyJump = value;
    } else if (keyword == u"serveraliveinterval") {
        host.serverAliveInterval = parseInteger(value).value_or(0);
    }
}

QString decodedStrictly(const QByteArray &bytes, const QString &fileName)
{
    // Stateless, so a sequence cut off at the end of the file counts as an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        throw SSHConfigReadError(
            QStringLiteral("The file “%1” couldn’t be read because it isn’t valid UTF-8 text.")
                .arg(fileName));
    }
    return text;
}

QString readConfigText(const QString &path)
{
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    // A pipe or a device could keep the read waiting for ever.
    if (info.exists() && !info.isFile()) {
        throw SSHConfigReadError(
            QStringLiteral("The file “%1” couldn’t be read because it isn’t a regular file.").arg(fileName));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw SSHConfigReadError(
            QStringLiteral("The file “%1” couldn’t be opened: %2").arg(fileName, file.errorString()));
    }
    const QByteArray bytes = file.read(maximumConfigBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        throw SSHConfigReadError(
            QStringLiteral("The file “%1” couldn’t be read: %2").arg(fileName, file.errorString()));
    }
    if (bytes.size() > maximumConfigBytes) {
        throw SSHConfigReadError(
            QStringLiteral("The file “%1” couldn’t be read because it is larger than 16 MB.").arg(fileName));
    }
    return decodedStrictly(bytes, fileName);
}

} // namespace

std::vector<SSHConfigParser::RawHost> SSHConfigParser::parse(const QString &text) const
{
    std::vector<RawHost> hosts;
    std::optional<RawHost> current;
    for (const QString &rawLine : splitLines(text)) {
        const QString line = trimmedOfBlanks(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QStringList words = splitWords(line);
        if (words.size() < 2) {
            continue;
        }
        const QString keyword = words.first().toLower();
        const QString value = words.mid(1).join(QLatin1Char(' '));
        if (keyword == u"host") {
            if (current) {
                hosts.push_back(std::move(*current));
            }
            current = RawHost{};
            current->alias = value;
        } else if (current) {
            applyKeyword(*current, keyword, value);
        }
    }
    if (current) {
        hosts.push_back(std::move(*current));
    }
    return hosts;
}

std::vector<SSHConfigParser::RawHost> SSHConfigParser::loadDefaultConfig() const
{
    const QString path = QDir(QDir::homePath()).filePath(QStringLiteral(".ssh/config"));
    if (!QFileInfo::exists(path)) {
        return {};
    }
    return parse(readConfigText(path));
}

std::vector<SSHConfigParser::RawHost> SSHConfigParser::loadConfigFile(const QString &path) const
{
    return parse(readConfigText(path));
}

std::vector<std::shared_ptr<ServerProfile>> SSHConfigParser::makeProfiles(const std::vector<RawHost> &hosts,
                                                                          const QString &group) const
{
    std::vector<std::shared_ptr<ServerProfile>> profiles;
    for (const RawHost &host : hosts) {
        // "Host *" and its kin hold defaults for every host, not a server. Other patterns,
        // negations included, are kept as the user wrote them.
        if (host.alias.startsWith(QLatin1Char('*'))) {
            continue;
        }
        profiles.push_back(std::make_shared<ServerProfile>(
            host.alias, host.alias, host.hostname, host.port, host.user, ServerEnvironment::development,
            group, QStringList(), QString(), QString(), host.identityFile, false, 0));
    }
    return profiles;
}

} // namespace corvane
