#include "corvane/catalogue/SSHConfigParser.h"

#include "corvane/catalogue/ServerProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>

#include <optional>
#include <utility>

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

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// The arguments of a line as ssh reads them: blanks separate them; single or double quotes
// group blanks into one (the quotes themselves are dropped, also inside a word); a backslash
// keeps a following backslash, quote or, outside quotes, blank as it is; an unquoted word that
// begins with "#" ends the line. A quote left open makes the line unreadable.
std::optional<QStringList> splitArguments(QStringView text)
{
    QStringList arguments;
    QString current;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (quote.isNull()) {
            if (isBlank(c)) {
                if (inWord) {
                    arguments.append(std::exchange(current, QString()));
                    inWord = false;
                }
            } else if (!inWord && c == QLatin1Char('#')) {
                break;
            } else if (c == QLatin1Char('\\') && (next == QLatin1Char('\\') || isQuote(next) || isBlank(next))) {
                current += next;
                inWord = true;
                ++i;
            } else if (isQuote(c)) {
                quote = c;
                inWord = true;
            } else {
                current += c;
                inWord = true;
            }
        } else if (c == QLatin1Char('\\') && (next == QLatin1Char('\\') || next == quote)) {
            current += next;
            ++i;
        } else if (c == quote) {
            quote = QChar();
        } else {
            current += c;
        }
    }
    if (!quote.isNull()) {
        return std::nullopt;
    }
    if (inWord) {
        arguments.append(current);
    }
    return arguments;
}

// One line: its keyword, lowercased, and its arguments. The keyword ends at a blank or at
// "=", and one "=" may stand between the keyword and its arguments.
struct ConfigLine {
    QString keyword;
    std::optional<QStringList> arguments; // absent when the line cannot be read
};

ConfigLine splitLine(const QString &line)
{
    qsizetype end = 0;
    while (end < line.size() && !isBlank(line[end]) && line[end] != QLatin1Char('=')) {
        ++end;
    }
    qsizetype rest = end;
    while (rest < line.size() && isBlank(line[rest])) {
        ++rest;
    }
    if (rest < line.size() && line[rest] == QLatin1Char('=')) {
        ++rest;
    }
    return {line.left(end).toLower(), splitArguments(QStringView(line).mid(rest))};
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

// The lines of one "host" line's block. Like ssh, the block's first value of a keyword is
// the one that counts.
struct HostBlock {
    QStringList names;
    SSHConfigParser::RawHost settings;
    QSet<QString> keywordsSeen;

    void apply(const QString &keyword, const QString &value)
    {
        if (keywordsSeen.contains(keyword)) {
            return;
        }
        if (keyword == u"hostname") {
            settings.hostname = value;
        } else if (keyword == u"user") {
            settings.user = value;
        } else if (keyword == u"port") {
            settings.port = parseInteger(value).value_or(22);
        } else if (keyword == u"identityfile") {
            settings.identityFile = expandedIdentityFile(value);
        } else if (keyword == u"proxyjump") {
            settings.proxyJump = value;
        } else if (keyword == u"serveraliveinterval") {
            settings.serverAliveInterval = parseInteger(value).value_or(0);
        } else {
            return;
        }
        keywordsSeen.insert(keyword);
    }

    // One host for each name of the line, all with the block's values.
    void appendHostsTo(std::vector<SSHConfigParser::RawHost> &hosts) const
    {
        for (const QString &name : names) {
            SSHConfigParser::RawHost host = settings;
            host.alias = name;
            hosts.push_back(std::move(host));
        }
    }
};

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
    // Absent before the first "host" line; a block without names (after "match", or a host
    // line that cannot be read) takes the lines that follow it, so they change no host.
    std::optional<HostBlock> block;
    for (const QString &rawLine : splitLines(text)) {
        const QString line = trimmedOfBlanks(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const ConfigLine config = splitLine(line);
        if (config.keyword == u"host" || config.keyword == u"match") {
            if (block) {
                block->appendHostsTo(hosts);
            }
            block = HostBlock{};
            if (config.keyword == u"host" && config.arguments) {
                for (const QString &name : *config.arguments) {
                    if (!name.isEmpty()) {
                        block->names.append(name);
                    }
                }
            }
        } else if (block && config.arguments && !config.arguments->isEmpty()) {
            block->apply(config.keyword, config.arguments->first());
        }
    }
    if (block) {
        block->appendHostsTo(hosts);
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

bool SSHConfigParser::isHostPattern(const QString &alias)
{
    return alias.contains(QLatin1Char('*')) || alias.contains(QLatin1Char('?')) ||
           alias.startsWith(QLatin1Char('!'));
}

std::vector<std::shared_ptr<ServerProfile>> SSHConfigParser::makeProfiles(const std::vector<RawHost> &hosts,
                                                                          const QString &group) const
{
    std::vector<std::shared_ptr<ServerProfile>> profiles;
    for (const RawHost &host : hosts) {
        // A pattern ("*", "web-?", "!old") holds settings for hosts that match it, not a server.
        if (isHostPattern(host.alias)) {
            continue;
        }
        profiles.push_back(std::make_shared<ServerProfile>(
            host.alias, host.alias, host.hostname, host.port, host.user, ServerEnvironment::development,
            group, QStringList(), QString(), QString(), host.identityFile, false, 0));
    }
    return profiles;
}

} // namespace corvane
