#pragma once

#include <QKeySequence>
#include <QString>

#include <array>

namespace corvane {

// The commands of the menus that open one of a main window's sheets. A command acts on the
// window whose menu (or shortcut) chose it, never on the others.
enum class MenuCommand { openCommandPalette, newServer, importSSHConfig, showAuditLog };

struct MenuCommandInfo {
    MenuCommand command;
    const char *name;     // the command's identity, kept as the action's object name
    const char *title;    // ends in U+2026 where the command asks for more before acting
    const char *shortcut; // portable text; empty for none
};

// Shortcuts use Ctrl+Shift so they never take a control key from the terminal.
inline const std::array<MenuCommandInfo, 4> menuCommands = {{
    {MenuCommand::openCommandPalette, "calvero.openCommandPalette", "Command Palette", "Ctrl+Shift+K"},
    {MenuCommand::newServer, "calvero.newServer", "New Server…", "Ctrl+Shift+N"},
    {MenuCommand::importSSHConfig, "calvero.importSSHConfig", "Import ~/.ssh/config…", "Ctrl+Shift+I"},
    {MenuCommand::showAuditLog, "calvero.showAuditLog", "Audit Log…", ""},
}};

const MenuCommandInfo &menuCommandInfo(MenuCommand command);
QKeySequence menuCommandShortcut(MenuCommand command);
QString menuCommandTitle(MenuCommand command);

} // namespace corvane
