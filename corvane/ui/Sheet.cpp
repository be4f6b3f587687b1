#include "corvane/ui/Sheet.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace corvane {

void centreOver(QWidget &sheet, const QWidget *over)
{
    const QWidget *window = over != nullptr ? over->window() : nullptr;
    QScreen *screen = window != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    // Before it is first shown a window has no frame yet: it will get one like its owner's.
    QSize frame = sheet.frameGeometry().size();
    if (!sheet.testAttribute(Qt::WA_WState_Created) || frame == sheet.size()) {
        const QSize decoration = window != nullptr ? window->frameGeometry().size() - window->size() : QSize();
        frame = sheet.size() + decoration.expandedTo(QSize(0, 0));
    }
    QRect placed(QPoint(), frame);
    placed.moveCenter(window != nullptr ? window->frameGeometry().center() : available.center());
    // Whole on the screen, even when its window is partly off it.
    placed.moveLeft(std::clamp(placed.left(), available.left(),
                               std::max(available.left(), available.right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.top(), available.top(),
                              std::max(available.top(), available.bottom() + 1 - placed.height())));
    sheet.move(placed.topLeft());
}

void openSheet(QDialog &sheet)
{
    // Sized as showing it would size it, so it is centred at the size it will have.
    if (!sheet.testAttribute(Qt::WA_Resized)) {
        sheet.adjustSize();
    }
    centreOver(sheet, sheet.parentWidget());
    sheet.open();
}

} // namespace corvane
