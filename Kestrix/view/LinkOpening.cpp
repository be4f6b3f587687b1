#include "Kestrix/view/LinkOpening.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <iterator>

namespace kestrix {
namespace {

constexpr const char *schemesOpenedWithoutAsking[] = {"http", "https", "mailto"};

} // namespace

std::optional<QUrl> LinkOpening::linkURL(const std::string &link)
{
    const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

bool LinkOpening::opensWithoutAsking(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return std::any_of(std::begin(schemesOpenedWithoutAsking), std::end(schemesOpenedWithoutAsking),
                       [&](const char *harmless) { return scheme == QLatin1String(harmless); });
}

void LinkOpening::openIfAllowed(const QUrl &url, const OpenURL &open, const ConfirmLink &confirm)
{
    if (open && (opensWithoutAsking(url) || (confirm && confirm(url)))) {
        open(url);
    }
}

LinkOpening::OpenURL LinkOpening::desktopOpener()
{
    return [](const QUrl &url) { QDesktopServices::openUrl(url); };
}

LinkOpening::ConfirmLink LinkOpening::askUser(QWidget *parent)
{
    return [parent = QPointer<QWidget>(parent)](const QUrl &url) {
        QMessageBox box(QMessageBox::Question, QObject::tr("Open Link?"), QString(),
                        QMessageBox::Open | QMessageBox::Cancel, parent.data());
        // The whole target, as plain text, so nothing in it can hide what it is.
        box.setTextFormat(Qt::PlainText);
        box.setText(QObject::tr("The program asks to open this link:") + QLatin1Char('\n') +
                    url.toString(QUrl::FullyEncoded));
        box.setDefaultButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Open;
    };
}

} // namespace kestrix
