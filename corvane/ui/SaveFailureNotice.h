#pragma once

#include "corvane/catalogue/StoreError.h"

class QMessageBox;
class QWidget;

namespace corvane {

// Tells the user that the store could not be written, over the window of `parent` (or on its
// own without one). The changes stay pending in the context, which writes them with its next
// save that succeeds.
QMessageBox *showSaveFailure(QWidget *parent, const StoreError &error);

} // namespace corvane
