#pragma once

#include <QDialog>
#include <QPointer>

namespace corvane {

// Puts a window of its own (a settings window, a sheet) over the middle of `over`'s window,
// moved as little as needed to be whole on that window's screen.
void centreOver(QWidget &sheet, const QWidget *over);
// Opens a sheet over the middle of its parent's window; Escape closes it, as any dialog.
void openSheet(QDialog &sheet);

// Presents a window-modal sheet held in `slot`, unless one is shown there already. When the
// sheet closes, by its own buttons or by the window manager, the slot empties and the sheet
// is deleted.
template <class SheetType, class MakeSheet>
SheetType *presentSheet(QObject *owner, QPointer<SheetType> &slot, MakeSheet makeSheet)
{
    if (slot) {
        return slot;
    }
    SheetType *sheet = makeSheet();
    slot = sheet;
    QObject::connect(sheet, &QDialog::finished, owner, [&slot, sheet] {
        if (slot == sheet) {
            slot = nullptr;
        }
        sheet->deleteLater();
    });
    openSheet(*sheet);
    return sheet;
}

} // namespace corvane
