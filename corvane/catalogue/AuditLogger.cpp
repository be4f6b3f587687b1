#include "corvane/catalogue/AuditLogger.h"

#include "corvane/catalogue/AuditLog.h"
#include "corvane/catalogue/ServerProfile.h"

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

AuditLogger &AuditLogger::shared()
{
    static AuditLogger logger;
    return logger;
}

void AuditLogger::log(const QString &action, const QString &category, RiskLevel risk,
                      const ServerProfile &profile)
{
    // The stored host is the host name itself, empty for an alias-only profile.
    auto entry =
        std::make_shared<AuditLog>(profile.displayName(), profile.hostname(), profile.clientGroup(),
                                   rawValue(profile.environment()), category, rawValue(risk), redact(action));
    ModelContext *context = modelContext_;
    if (!context) {
        return;
    }
    context->insert(entry);
    // The trail must never get in the user's way: a failed save is dropped, and the entry stays
    // pending in the context for its next save.
    (void)context->save();
}

QString AuditLogger::redact(const QString &action)
{
    QString text = action;
    for (const CompiledRule &rule : compiledRules()) {
        text.replace(rule.expression, rule.replacement);
    }
    return text;
}

} // namespace corvane
