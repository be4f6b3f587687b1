#pragma once

#include <QDialog>
#include <QPointer>

namespace corvane {

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
    sheet->open();
    return sheet;
}

} // namespace corvane
