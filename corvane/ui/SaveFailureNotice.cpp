#include "corvane/ui/SaveFailureNotice.h"

#include <QLabel>
#include <QMessageBox>

namespace corvane {

QMessageBox *showSaveFailure(QWidget *parent, const StoreError &error)
{
    auto *box = new QMessageBox(parent ? parent->window() : nullptr);
    box->setObjectName(QStringLiteral("saveFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (parent) {
        box->setWindowModality(Qt::WindowModal);
    }
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("Changes Not Saved"));
    box->setTextFormat(Qt::PlainText);
    box->setText(QStringLiteral("Calvero could not save your changes."));
    box->setInformativeText(error.message +
                            QStringLiteral("\n\nThey are kept while Calvero runs and are saved with the "
                                           "next change that can be written."));
    // The message box reads its informative text as rich text when it looks like markup.
    for (QLabel *label : box->findChildren<QLabel *>()) {
        label->setTextFormat(Qt::PlainText);
    }
    box->open();
    return box;
}

} // namespace corvane
