#include "Kestrix/view/FindPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace kestrix {
namespace {

QClipboard *findBuffer()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard != nullptr && clipboard->supportsFindBuffer() ? clipboard : nullptr;
}

std::optional<std::string> &processFindString()
{
    static std::optional<std::string> text;
    return text;
}

} // namespace

std::optional<std::string> FindPasteboard::string()
{
    if (QClipboard *clipboard = findBuffer()) {
        const QString text = clipboard->text(QClipboard::FindBuffer);
        return text.isNull() ? std::nullopt : std::optional<std::string>(text.toStdString());
    }
    return processFindString();
}

void FindPasteboard::setString(std::string_view text)
{
    if (QClipboard *clipboard = findBuffer()) {
        clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           QClipboard::FindBuffer);
        return;
    }
    processFindString() = std::string(text);
}

} // namespace kestrix
