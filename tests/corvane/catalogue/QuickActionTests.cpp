#include "corvane/catalogue/QuickAction.h"

#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct ExpectedAction {
    const char *title;
    const char *description;
    const char *remoteCommand;
    RiskLevel risk;
    const char *category;
};

const ExpectedAction expectedCatalogue[] = {
    {"Uptime", "System uptime and load averages", "uptime", RiskLevel::readOnly, "System"},
    {"CPU Usage", "Top 10 CPU-consuming processes",
     "ps aux --sort=-%cpu 2>/dev/null | head -11 || ps aux | sort -k3 -rn | head -11", RiskLevel::readOnly,
     "System"},
    {"Memory Usage", "Free and used memory", "free -h 2>/dev/null || vm_stat", RiskLevel::readOnly, "System"},
    {"Disk Usage", "Disk usage per mounted filesystem", "df -h", RiskLevel::readOnly, "System"},
    {"Docker Status", "Running Docker containers", "docker ps 2>/dev/null || echo 'Docker not available'",
     RiskLevel::readOnly, "Docker"},
    {"Listening Ports", "Network ports with listening services",
     "ss -tlnp 2>/dev/null || netstat -tlnp 2>/dev/null || lsof -iTCP -sTCP:LISTEN", RiskLevel::readOnly,
     "System"},
    {"Firewall Status", "Active firewall rules (iptables/ufw/nftables)",
     "ufw status verbose 2>/dev/null || iptables -L --line-numbers 2>/dev/null | head -40",
     RiskLevel::readOnly, "System"},
    {"Recent Service Errors", "Last 20 lines of syslog errors",
     "journalctl -p err -n 20 --no-pager 2>/dev/null || tail -n 20 /var/log/syslog", RiskLevel::readOnly,
     "System"},
    {"Who Is Logged In", "Current login sessions", "who", RiskLevel::readOnly, "System"},
    {"Last Logins", "Recent login history", "last -n 20", RiskLevel::readOnly, "System"},
    {"Reload Nginx", "Reload nginx configuration without downtime", "sudo nginx -s reload",
     RiskLevel::changesState, "Services"},
    {"Restart Nginx", "Fully restart nginx service", "sudo systemctl restart nginx", RiskLevel::restart,
     "Services"},
    {"Reload Systemd Unit", "Reload a specific systemd unit (prompts for name)",
     "sudo systemctl daemon-reload", RiskLevel::changesState, "Services"},
};

TEST(QuickAction, CatalogueMatchesTheTableFieldByField)
{
    const std::vector<QuickAction> &actions = QuickAction::builtInActions();
    ASSERT_EQ(actions.size(), std::size(expectedCatalogue));
    for (size_t i = 0; i < actions.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const ExpectedAction &expected = expectedCatalogue[i];
        EXPECT_EQ(actions[i].title, QString::fromUtf8(expected.title));
        EXPECT_EQ(actions[i].description, QString::fromUtf8(expected.description));
        EXPECT_EQ(actions[i].remoteCommand, QString::fromUtf8(expected.remoteCommand));
        EXPECT_EQ(actions[i].risk, expected.risk);
        EXPECT_EQ(actions[i].category, QString::fromUtf8(expected.category));
    }
}

TEST(QuickAction, CatalogueHasTenReadOnlyActionsAndNoDestructiveOne)
{
    const std::vector<QuickAction> &actions = QuickAction::builtInActions();
    const auto readOnly = std::count_if(actions.begin(), actions.end(), [](const QuickAction &action) {
        return action.risk == RiskLevel::readOnly;
    });
    EXPECT_EQ(readOnly, 10);
    EXPECT_TRUE(std::none_of(actions.begin(), actions.end(), [](const QuickAction &action) {
        return action.risk == RiskLevel::destructive;
    }));
}

TEST(QuickAction, CategoriesInFirstAppearanceOrder)
{
    QStringList categories;
    for (const QuickAction &action : QuickAction::builtInActions()) {
        if (!categories.contains(action.category)) {
            categories.append(action.category);
        }
    }
    EXPECT_EQ(categories, (QStringList{"System", "Docker", "Services"}));
}

TEST(QuickAction, IdentitiesAreDistinctAndStableWithinARun)
{
    const std::vector<QuickAction> &first = QuickAction::builtInActions();
    const std::vector<QuickAction> &second = QuickAction::builtInActions();
    EXPECT_EQ(&first, &second);
    QSet<QUuid> ids;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_FALSE(first[i].id.isNull());
        EXPECT_EQ(first[i].id, second[i].id);
        ids.insert(first[i].id);
    }
    EXPECT_EQ(ids.size(), static_cast<qsizetype>(first.size()));
}

} // namespace
} // namespace corvane
