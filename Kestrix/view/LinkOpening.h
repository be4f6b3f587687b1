#pragma once

#include <QUrl>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace kestrix {

// What happens to a link a program asks to open. Only a link with a scheme is a link: a bare path
// such as /etc/passwd or ./run.sh is never handed to the desktop, which would open or run the file.
// http, https and mailto only show a page or start a message and open at once; any other scheme
// opens only when the user agrees, shown the whole target.
struct LinkOpening {
    using OpenURL = std::function<void(const QUrl &)>;
    using ConfirmLink = std::function<bool(const QUrl &)>;

    // The link as a URL; nothing when it is not one or has no scheme.
    static std::optional<QUrl> linkURL(const std::string &link);
    static bool opensWithoutAsking(const QUrl &url);
    // Opens `url` when it may open: at once, or after `confirm` agreed.
    static void openIfAllowed(const QUrl &url, const OpenURL &open, const ConfirmLink &confirm);

    // The desktop's handler.
    static OpenURL desktopOpener();
    // A question box over `parent` that shows the whole target as plain text.
    static ConfirmLink askUser(QWidget *parent);
};

} // namespace kestrix
