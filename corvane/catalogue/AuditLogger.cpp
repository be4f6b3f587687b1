#include "corvane/catalogue/AuditLogger.h"

#include <QRegularExpression>

#include <vector>

namespace corvane {
namespace {

struct RedactionRule {
    const char *pattern;
    const char *replacement; // "\\1" stands for the first capture group
};

// Applied in this order, case-insensitively. A rule covers only what its pattern says: a
// password given to mysql after other options, for instance, is left alone.
constexpr RedactionRule redactionRules[] = {
    {R"((password|passwd|pwd|secret|token|key|api_?key)\s*[=:]\s*\S+)", R"(\1=[REDACTED])"},
    {R"(mysql\s+-p\S+)", "mysql -p[REDACTED]"},
    {R"(export\s+(.*SECRET|.*TOKEN|.*PASSWORD|.*API_KEY)=\S+)", R"(export \1=[REDACTED])"},
    {R"(--password=\S+)", "--password=[REDACTED]"},
    {R"(://[^:@/]+:[^:@/]+@)", "://[REDACTED]@"},
    {R"(-----BEGIN [A-Z ]+ KEY-----[\s\S]+?-----END [A-Z ]+ KEY-----)", "[PRIVATE KEY REDACTED]"},
};

struct CompiledRule {
    QRegularExpression expression;
    QString replacement;
};

std::vector<CompiledRule> compileRules()
{
    // Unicode properties make \s, \S and case folding cover all of Unicode, and "(*ANY)" makes
    // "." stop at every Unicode line terminator rather than at a line feed only.
    const auto options =
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;
    std::vector<CompiledRule> rules;
    for (const RedactionRule &rule : redactionRules) {
        QRegularExpression expression(QStringLiteral("(*ANY)") + QString::fromUtf8(rule.pattern), options);
        expression.optimize();
        rules.push_back({std::move(expression), QString::fromUtf8(rule.replacement)});
    }
    return rules;
}

const std::vector<CompiledRule> &compiledRules()
{
    static const std::vector<CompiledRule> rules = compileRules();
    return rules;
}

} // namespace

QString AuditLogger::redact(const QString &action)
{
    QString text = action;
    for (const CompiledRule &rule : compiledRules()) {
        text.replace(rule.expression, rule.replacement);
    }
    return text;
}

} // namespace corvane
