#include "Kestrix/view/PrimarySelection.h"

#include <QClipboard>
#include <QGuiApplication>

namespace kestrix {
namespace {

QClipboard *selectionBuffer()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard != nullptr && clipboard->supportsSelection() ? clipboard : nullptr;
}

std::string &processSelection()
{
    static std::string text;
    return text;
}

} // namespace

std::string PrimarySelection::string()
{
    if (const QClipboard *clipboard = selectionBuffer()) {
        return clipboard->text(QClipboard::Selection).toStdString();
    }
    return processSelection();
}

void PrimarySelection::setString(std::string_view text)
{
    if (QClipboard *clipboard = selectionBuffer()) {
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           QClipboard::Selection);
        return;
    }
    processSelection() = std::string(text);
}

} // namespace kestrix
