// Links under the pointer: the highlight (by the link highlight mode), the preview label of an OSC 8
// link's target while Ctrl is held, the pointer tracking that hover needs, and which clicks open a
// link through the host.

#include "Kestrix/model/TinyAtom.h"
#include "Kestrix/view/TerminalView.h"
#include "Kestrix/view/TerminalViewDelegate.h"

#include <QCursor>
#include <QFontDatabase>
#include <QLabel>

namespace kestrix {
namespace {

constexpr int previewFontPixelSize = 12;

} // namespace

std::optional<std::string> TerminalView::explicitLinkPayload(int64_t col, int64_t row)
{
    if (!terminal_) {
        return std::nullopt;
    }
    Terminal &t = *terminal_;
    const std::optional<Position> position =
        t.bufferPosition(LinkLookupLocation::screen({col, row}), *t.buffer);
    if (!position) {
        return std::nullopt;
    }
    const std::optional<uint16_t> atom = t.linkAtom(position->col, position->row, *t.buffer);
    return atom ? TinyAtom::lookup(*atom) : std::nullopt;
}

TerminalView::LinkPayload TerminalView::parseLinkPayload(std::string_view payload)
{
    LinkPayload parsed;
    const size_t separator = payload.find(';');
    if (separator == std::string_view::npos) {
        return parsed;
    }
    parsed.url = std::string(payload.substr(separator + 1));
    std::string_view parameters = payload.substr(0, separator);
    while (!parameters.empty()) {
        const size_t end = parameters.find(':');
        const std::string_view item = parameters.substr(0, end);
        if (const size_t equals = item.find('='); equals != std::string_view::npos) {
            parsed.parameters[std::string(item.substr(0, equals))] = std::string(item.substr(equals + 1));
        }
        parameters = end == std::string_view::npos ? std::string_view() : parameters.substr(end + 1);
    }
    return parsed;
}

void TerminalView::markLinkHighlightRowsDirty(const std::optional<std::vector<LinkRowRange>> &old,
                                              const std::optional<std::vector<LinkRowRange>> &current)
{
    if (!terminal_) {
        return;
    }
    Terminal &t = *terminal_;
    for (const auto *ranges : {&old, &current}) {
        if (!*ranges) {
            continue;
        }
        for (const LinkRowRange &range : **ranges) {
            const int64_t screenRow = range.row - t.buffer->yDisp();
            if (screenRow >= 0 && screenRow < t.rows) {
                t.markRowDirty(screenRow);
            }
        }
    }
}

std::optional<LinkMatch> TerminalView::linkMatchAt(Position screenCell)
{
    if (!terminal_) {
        return std::nullopt;
    }
    Terminal &t = *terminal_;
    const std::optional<Position> position =
        t.bufferPosition(LinkLookupLocation::screen(screenCell), *t.buffer);
    if (!position) {
        return std::nullopt;
    }
    if (auto match = t.explicitLinkMatch(*position, *t.buffer)) {
        return match;
    }
    return t.implicitLinkMatch(*position, *t.buffer);
}

void TerminalView::updateLinkHighlight(Position screenCell, std::optional<bool> modifierActive)
{
    const bool modifier = modifierActive.value_or(commandActive_);
    const bool follows = linkHighlightMode_ == LinkHighlightMode::hover ||
                         (linkHighlightMode_ == LinkHighlightMode::hoverWithModifier && modifier);
    std::optional<std::vector<LinkRowRange>> highlight;
    if (follows) {
        if (const std::optional<LinkMatch> match = linkMatchAt(screenCell)) {
            highlight = match->rowRanges;
        }
    }
    if (highlight == linkHighlightRange_) {
        return;
    }
    std::optional<std::vector<LinkRowRange>> old = std::move(linkHighlightRange_);
    linkHighlightRange_ = std::move(highlight);
    markLinkHighlightRowsDirty(old, linkHighlightRange_);
    queueDisplayUpdate();
}

void TerminalView::updateReportedLink(Position screenCell)
{
    if (linkReporting_ == LinkReporting::none) {
        lastReportedLink_.reset();
        return;
    }
    if (!terminal_) {
        lastReportedLink_.reset();
        return;
    }
    Terminal &t = *terminal_;
    const std::optional<Position> position =
        t.bufferPosition(LinkLookupLocation::screen(screenCell), *t.buffer);
    std::optional<LinkMatch> match;
    if (position) {
        match = t.explicitLinkMatch(*position, *t.buffer);
        if (!match && linkReporting_ == LinkReporting::implicitLinks) {
            match = t.implicitLinkMatch(*position, *t.buffer);
        }
    }
    lastReportedLink_ = match ? std::optional<std::string>(match->text) : std::nullopt;
}

QFont TerminalView::tryUrlFont()
{
    for (const char *family : {"Optima", "Helvetica", "Helvetica Neue"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setPixelSize(previewFontPixelSize);
            return font;
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(previewFontPixelSize);
    return font;
}

void TerminalView::showUrlPreview(std::string_view payload)
{
    const LinkPayload parsed = parseLinkPayload(payload);
    if (!parsed.url) {
        return;
    }
    // The target is the host's text: shown as it stands, never read as markup.
    const QString text = QString::fromStdString(*parsed.url);
    if (!urlPreview_) {
        urlPreview_ = new QLabel(this);
        urlPreview_->setTextFormat(Qt::PlainText);
        urlPreview_->setTextInteractionFlags(Qt::NoTextInteraction);
        urlPreview_->setAttribute(Qt::WA_TransparentForMouseEvents);
        urlPreview_->setFont(tryUrlFont());
        urlPreview_->setAutoFillBackground(true);
        // The terminal's colours swapped.
        QPalette palette = urlPreview_->palette();
        palette.setColor(QPalette::Window, nativeForegroundColor());
        palette.setColor(QPalette::WindowText, nativeBackgroundColor());
        urlPreview_->setPalette(palette);
    }
    urlPreview_->setText(text);
    urlPreview_->adjustSize();
    // At the lower-left corner of the view.
    urlPreview_->move(0, height() - urlPreview_->height());
    urlPreview_->show();
    urlPreview_->raise();
}

void TerminalView::hideUrlPreview()
{
    if (urlPreview_) {
        delete urlPreview_;
        urlPreview_ = nullptr;
    }
}

// Ctrl went down.
void TerminalView::commandKeyPressed()
{
    commandActive_ = true;
    installTrackingArea();
    // No motion reached the view while nothing tracked the pointer: ask where it is.
    const QPointF pointer = mapFromGlobal(QCursor::pos());
    if (rect().contains(pointer.toPoint())) {
        pointerMovedOverLinks(pointer);
    }
    if (linkHighlightMode_ == LinkHighlightMode::alwaysWithModifier) {
        fullRefresh();
    }
}

void TerminalView::commandKeyReleased()
{
    if (!commandActive_) {
        return;
    }
    commandActive_ = false;
    releaseLinkTracking();
    hideUrlPreview();
    lastReportedLink_.reset();
    if (linkHighlightMode_ == LinkHighlightMode::hoverWithModifier && linkHighlightRange_) {
        std::optional<std::vector<LinkRowRange>> old = std::move(linkHighlightRange_);
        linkHighlightRange_.reset();
        markLinkHighlightRowsDirty(old, std::nullopt);
        queueDisplayUpdate();
    }
    if (linkHighlightMode_ == LinkHighlightMode::alwaysWithModifier) {
        fullRefresh();
    }
}

void TerminalView::pointerMovedOverLinks(QPointF point)
{
    if (!terminal_ || !cellDimension_) {
        return;
    }
    const MouseHit hit = calculateMouseHit(point);
    const Position cell{hit.grid.col, screenRow(hit)};
    if (commandActive_) {
        if (const std::optional<std::string> payload = explicitLinkPayload(cell.col, cell.row)) {
            showUrlPreview(*payload);
        } else {
            // A preview names the link under the pointer, never one it has left.
            hideUrlPreview();
        }
        updateReportedLink(cell);
    }
    updateLinkHighlight(cell, std::nullopt);
}

bool TerminalView::needsPointerTracking() const
{
    return (terminal_ && terminal_->mouseMode() == Terminal::MouseMode::anyEvent) || commandActive_ ||
           linkHighlightMode_ == LinkHighlightMode::hover;
}

void TerminalView::installTrackingArea()
{
    setMouseTracking(true);
}

void TerminalView::releaseLinkTracking()
{
    if (!needsPointerTracking()) {
        setMouseTracking(false);
    }
}

void TerminalView::updateLinkHighlightTracking()
{
    linkHighlightRange_.reset();
    if (needsPointerTracking()) {
        installTrackingArea();
    } else {
        releaseLinkTracking();
    }
    fullRefresh();
}

std::optional<std::pair<std::string, std::map<std::string, std::string>>>
TerminalView::linkAt(int64_t col, int64_t row, bool commandPressed)
{
    const std::optional<LinkMatch> match = linkMatchAt({col, row});
    if (!match) {
        return std::nullopt;
    }
    const bool highlighted = linkHighlightRange_ && *linkHighlightRange_ == match->rowRanges;
    bool opens = false;
    switch (linkHighlightMode_) {
    case LinkHighlightMode::hover:
        opens = highlighted;
        break;
    case LinkHighlightMode::hoverWithModifier:
        opens = commandPressed && highlighted;
        break;
    case LinkHighlightMode::always:
        opens = match->isExplicit;
        break;
    case LinkHighlightMode::alwaysWithModifier:
        opens = match->isExplicit && commandPressed;
        break;
    }
    if (!opens) {
        return std::nullopt;
    }
    if (match->isExplicit) {
        if (const std::optional<std::string> payload = explicitLinkPayload(col, row)) {
            LinkPayload parsed = parseLinkPayload(*payload);
            if (parsed.url) {
                return std::pair{std::move(*parsed.url), std::move(parsed.parameters)};
            }
        }
    }
    return std::pair{match->text, std::map<std::string, std::string>{}};
}

} // namespace kestrix
