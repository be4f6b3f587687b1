// Kitty placements: the put action, showing an image at the cursor or relative to another
// placement, virtual placements for Unicode placeholders, and where the cursor goes afterwards.

#include "Kestrix/core/SaturatingArithmetic.h"
#include "Kestrix/core/Terminal.h"
#include "Kestrix/core/TerminalDelegate.h"
#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyImageCrop.h"
#include "Kestrix/graphics/KittyImageDecoding.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

bool asksForCrop(const KittyGraphicsControl &control)
{
    return control.cropX != 0 || control.cropY != 0 || control.cropWidth != 0 || control.cropHeight != 0;
}

std::optional<KittyImageSize> pixelSizeOf(const KittyGraphicsPayload &image)
{
    if (image.isRgba()) {
        return KittyImageSize{image.width(), image.height()};
    }
    return kittyEncodedImageSize(image.bytes());
}

// The cells that `pixels` cover at `cellSize` pixels each: at least one, and never past the largest
// count for an extent a host made absurd.
int64_t cellsCovering(double pixels, int64_t cellSize)
{
    const double cells = std::ceil(pixels / static_cast<double>(cellSize));
    if (!(cells < 9.0e18)) {
        return INT64_MAX;
    }
    return std::max<int64_t>(static_cast<int64_t>(cells), 1);
}

} // namespace

// MARK: Put and place

void Terminal::putKittyImage(const KittyGraphicsControl &control)
{
    const KittyGraphicsState &state = kittyGraphicsState;
    // A number is tried first; one that names no image falls back to the id.
    if (control.imageNumber) {
        if (const auto number = state.imageNumbers.find(*control.imageNumber);
            number != state.imageNumbers.end()) {
            const uint32_t id = number->second;
            if (const KittyGraphicsImage *stored = lookupKittyImage(id)) {
                const KittyGraphicsPayload image = stored->payload;
                if (placeKittyImage(image, control, id, control.imageNumber)) {
                    sendKittyGraphicsOk(control, id, control.imageNumber, control.placementId);
                }
                return;
            }
        }
    }
    if (control.imageId) {
        if (const KittyGraphicsImage *stored = lookupKittyImage(*control.imageId)) {
            const KittyGraphicsPayload image = stored->payload;
            if (placeKittyImage(image, control, control.imageId, std::nullopt)) {
                sendKittyGraphicsOk(control, control.imageId, std::nullopt, control.placementId);
            }
            return;
        }
    }
    sendKittyGraphicsError(control, kittyerror::imageNotFound);
}

bool Terminal::placeKittyImage(const KittyGraphicsPayload &image, const KittyGraphicsControl &control,
                               std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber)
{
    if (control.unicodePlaceholder == 1) {
        return placeVirtualKittyImage(control, imageId);
    }
    return placeRealKittyImage(image, control, imageId, imageNumber);
}

std::pair<int64_t, int64_t> Terminal::clampedKittyPixelOffsets(const KittyGraphicsControl &control)
{
    int64_t x = std::max<int64_t>(control.pixelOffsetX, 0);
    int64_t y = std::max<int64_t>(control.pixelOffsetY, 0);
    if ((x > 0 || y > 0) && tdel_ != nullptr) {
        if (const std::optional<CellPixelSize> cell = tdel_->terminalCellPixelSize(*this)) {
            x = std::min(x, std::max<int64_t>(cell->width - 1, 0));
            y = std::min(y, std::max<int64_t>(cell->height - 1, 0));
        }
    }
    return {x, y};
}

bool Terminal::placeVirtualKittyImage(const KittyGraphicsControl &control, std::optional<uint32_t> imageId)
{
    if (control.parentImageId || control.parentPlacementId) {
        sendKittyGraphicsError(control, kittyerror::virtualPlacementWithParent);
        return false;
    }
    if (!imageId) {
        return true;
    }
    KittyGraphicsState &state = kittyGraphicsState;
    uint32_t placementId = 0;
    if (control.placementId) {
        placementId = *control.placementId;
    } else {
        // 0 is no placement id, so the counter skips it when it wraps.
        placementId = state.nextPlacementId == 0 ? 1 : state.nextPlacementId;
        state.nextPlacementId = placementId + 1;
    }
    replaceKittyPlacement(*imageId, placementId);
    const auto [offsetX, offsetY] = clampedKittyPixelOffsets(control);
    KittyPlacementRecord record;
    record.imageId = *imageId;
    record.placementId = placementId;
    record.pixelOffsetX = offsetX;
    record.pixelOffsetY = offsetY;
    record.col = buffer->x();
    record.row = buffer->y() + buffer->yBase();
    record.cols = std::max<int64_t>(control.columns, 0);
    record.rows = std::max<int64_t>(control.rows, 0);
    record.zIndex = control.zIndex;
    record.isVirtual = true;
    record.isAlternateBuffer = isAlternateBufferActive();
    state.placementsByKey.insert_or_assign(KittyPlacementKey{*imageId, placementId}, record);
    return true;
}

bool Terminal::placeRealKittyImage(const KittyGraphicsPayload &image, const KittyGraphicsControl &control,
                                   std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber)
{
    const KittyParentResolution parent = resolveKittyParent(control);
    if (!parent.error.empty()) {
        sendKittyGraphicsError(control, parent.error);
        return false;
    }
    std::optional<KittyGraphicsPayload> shown = image;
    if (asksForCrop(control)) {
        KittyCropResult crop =
            cropKittyImage(image, control.cropX, control.cropY, control.cropWidth, control.cropHeight);
        if (!crop.image) {
            sendKittyGraphicsError(control, crop.error);
            return false;
        }
        shown = std::move(crop.image);
    }
    Buffer &b = *buffer;
    // The cursor may only be taken to a row of the screen: the view places the image from there.
    const bool isRelative = parent.position.has_value();
    if (isRelative) {
        const int64_t screenRow = saturatingSubtract(parent.position->row, b.yBase());
        if (screenRow < 0 || screenRow >= rows) {
            sendKittyGraphicsError(control, kittyerror::placementOutOfRange);
            return false;
        }
    }
    const auto [offsetX, offsetY] = clampedKittyPixelOffsets(control);
    KittyPlacementContext context;
    context.imageId = imageId ? imageId : control.imageId;
    context.imageNumber = imageNumber ? imageNumber : control.imageNumber;
    context.placementId = control.placementId;
    context.parentImageId = control.parentImageId;
    context.parentPlacementId = control.parentPlacementId;
    context.parentOffsetH = control.offsetH;
    context.parentOffsetV = control.offsetV;
    context.zIndex = control.zIndex;
    context.widthRequest =
        control.columns >= 1 ? ImageSizeRequest::cells(control.columns) : ImageSizeRequest::automatic();
    context.heightRequest =
        control.rows >= 1 ? ImageSizeRequest::cells(control.rows) : ImageSizeRequest::automatic();
    context.preserveAspectRatio = control.columns == 0 || control.rows == 0;
    context.cursorPolicy = control.cursorPolicy;
    context.isRelative = isRelative;
    context.pixelOffsetX = offsetX;
    context.pixelOffsetY = offsetY;

    if (context.imageId && context.placementId) {
        replaceKittyPlacement(*context.imageId, *context.placementId);
    }
    const int64_t savedX = b.x();
    const int64_t savedY = b.y();
    if (isRelative) {
        b.setY(parent.position->row - b.yBase());
        b.setX(std::clamp<int64_t>(parent.position->col, 0, cols - 1));
    }
    const Position noted{b.x(), b.y() + b.yBase()};

    std::optional<KittyPlacementContext> previousContext = std::move(kittyPlacementContext);
    kittyPlacementContext = context;
    if (tdel_ != nullptr) {
        if (shown->isRgba()) {
            tdel_->terminalBitmapImage(*this, shown->bytes(), shown->width(), shown->height());
        } else {
            tdel_->terminalInlineImage(*this, shown->bytes(), context.widthRequest, context.heightRequest,
                                       context.preserveAspectRatio);
        }
    }
    if (isRelative || control.cursorPolicy == 1) {
        b.setX(savedX);
        b.setY(savedY);
    } else {
        moveCursorPastKittyImage(*shown, context, noted);
    }
    kittyPlacementContext = std::move(previousContext);
    return true;
}

void Terminal::moveCursorPastKittyImage(const KittyGraphicsPayload &image,
                                        const KittyPlacementContext &context, Position noted)
{
    Buffer &b = *buffer;
    // Copied out of the optional once; optimised GCC builds otherwise see its fields as maybe unset.
    const std::optional<CellPixelSize> reportedCell =
        tdel_ != nullptr ? tdel_->terminalCellPixelSize(*this) : std::optional<CellPixelSize>();
    const bool hasCellSize = reportedCell.has_value();
    const CellPixelSize cell = reportedCell.value_or(CellPixelSize{});
    const int64_t requestedCols =
        context.widthRequest.kind == ImageSizeRequest::Kind::cells ? context.widthRequest.value : 0;
    const int64_t requestedRows =
        context.heightRequest.kind == ImageSizeRequest::Kind::cells ? context.heightRequest.value : 0;
    std::optional<std::pair<int64_t, int64_t>> covered;
    if (requestedCols >= 1 && requestedRows >= 1) {
        covered = {requestedCols, requestedRows};
    } else if (hasCellSize && cell.width >= 1 && cell.height >= 1) {
        if (const std::optional<KittyImageSize> size = pixelSizeOf(image);
            size && size->width >= 1 && size->height >= 1) {
            const auto imageWidth = static_cast<double>(size->width);
            const auto imageHeight = static_cast<double>(size->height);
            double width = requestedCols >= 1
                               ? static_cast<double>(requestedCols) * static_cast<double>(cell.width)
                               : imageWidth;
            double height = requestedRows >= 1
                                ? static_cast<double>(requestedRows) * static_cast<double>(cell.height)
                                : imageHeight;
            if (context.preserveAspectRatio && requestedRows >= 1) {
                width = height * imageWidth / imageHeight;
            } else if (context.preserveAspectRatio && requestedCols >= 1) {
                height = width * imageHeight / imageWidth;
            }
            covered = {cellsCovering(static_cast<double>(context.pixelOffsetX) + width, cell.width),
                       cellsCovering(static_cast<double>(context.pixelOffsetY) + height, cell.height)};
        }
    }
    if (covered) {
        // The cell right after the image's last cell: on its last row, right of its last column.
        // Programs print their next line from there, so nothing leaves a blank line under an image.
        const auto [coveredCols, coveredRows] = *covered;
        const int64_t lastRowOffset = coveredRows - 1;
        const int64_t col = std::clamp<int64_t>(saturatingAdd(noted.col, coveredCols), 0, cols - 1);
        if (hasCellSize) {
            // The view has already scrolled the image's rows onto the screen.
            const int64_t row = saturatingSubtract(saturatingAdd(noted.row, lastRowOffset), b.yBase());
            b.setY(std::clamp<int64_t>(row, 0, rows - 1));
        } else {
            b.setY(std::clamp<int64_t>(noted.row - b.yBase(), 0, rows - 1));
            b.setX(std::clamp<int64_t>(noted.col, 0, cols - 1));
            // Past a screenful every further line feed only adds blank lines; a host cannot ask for
            // billions of them.
            for (int64_t step = std::min(lastRowOffset, rows); step > 0; --step) {
                cmdIndex();
            }
        }
        b.setX(col);
    }
    clampCursor(true);
}

void Terminal::replaceKittyPlacement(uint32_t imageId, uint32_t placementId)
{
    const KittyPlacementKey key{imageId, placementId};
    removeKittyPlacementImages({key});
    kittyGraphicsState.placementsByKey.erase(key);
}

} // namespace kestrix
