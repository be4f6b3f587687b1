#include "corvane/catalogue/QuickAction.h"

namespace corvane {
namespace {

struct QuickActionEntry {
    const char *title;
    const char *description;
    const char *remoteCommand;
    RiskLevel risk;
    const char *category;
};

// Commands go to the remote shell as they stand: the shell interprets the pipes and "||".
constexpr QuickActionEntry builtInEntries[] = {
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

std::vector<QuickAction> makeBuiltInActions()
{
    std::vector<QuickAction> actions;
    actions.reserve(std::size(builtInEntries));
    for (const QuickActionEntry &entry : builtInEntries) {
        actions.push_back(QuickAction{
            QUuid::createUuid(), QString::fromUtf8(entry.title), QString::fromUtf8(entry.description),
            QString::fromUtf8(entry.remoteCommand), entry.risk, QString::fromUtf8(entry.category)});
    }
    return actions;
}

} // namespace

const std::vector<QuickAction> &QuickAction::builtInActions()
{
    // A function-local static is initialised exactly once, even with concurrent first calls.
    static const std::vector<QuickAction> actions = makeBuiltInActions();
    return actions;
}

} // namespace corvane
