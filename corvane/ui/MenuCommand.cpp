#include "corvane/ui/MenuCommand.h"

#include <QCoreApplication>

namespace corvane {

const MenuCommandInfo &menuCommandInfo(MenuCommand command)
{
    for (const MenuCommandInfo &info : menuCommands) {
        if (info.command == command) {
            return info;
        }
    }
    return menuCommands.front();
}

QKeySequence menuCommandShortcut(MenuCommand command)
{
    return QKeySequence(QString::fromLatin1(menuCommandInfo(command).shortcut), QKeySequence::PortableText);
}

QString menuCommandTitle(MenuCommand command)
{
    return QCoreApplication::translate("MenuCommand", menuCommandInfo(command).title);
}

} // namespace corvane
