#pragma once

#include "Kestrix/graphics/KittyImageDecoding.h"
#include "Kestrix/graphics/KittyLineImages.h"
#include "TerminalTestSupport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kestrix::testing {

// One row of a placed image, as the view makes it.
class FakeStripe final : public KittyPlacementImage {
public:
    explicit FakeStripe(int64_t col)
        : col_(col)
    {
    }
    int64_t pixelWidth() const override { return 1; }
    int64_t pixelHeight() const override { return 1; }
    int64_t col() const override { return col_; }
    void setCol(int64_t col) override { col_ = col; }

private:
    int64_t col_;
};

// Stands in for the view: sizes each image it is handed from the size requests and its cells, cuts
// it into one stripe per covered row from the cursor down (a line feed after each, but none after a
// Kitty image's last), labels the stripes from the terminal's placement context and records the
// placement as the view does.
class FakeKittyView : public RecordingDelegate {
public:
    std::optional<CellPixelSize> terminalCellPixelSize(Terminal &) override { return cellSize; }

    void terminalBitmapImage(Terminal &terminal, std::span<const uint8_t>, int64_t width,
                             int64_t height) override
    {
        place(terminal, width, height);
    }
    void terminalInlineImage(Terminal &terminal, std::span<const uint8_t> data, ImageSizeRequest,
                             ImageSizeRequest, bool) override
    {
        if (const std::optional<KittyImageSize> size = kittyEncodedImageSize(data)) {
            place(terminal, size->width, size->height);
        }
    }

    std::optional<CellPixelSize> cellSize = CellPixelSize{10, 20};
    // Where each handed image went: the cursor column and screen row at the time.
    std::vector<std::pair<int64_t, int64_t>> placedAt;

private:
    void place(Terminal &terminal, int64_t width, int64_t height)
    {
        const CellPixelSize cell = cellSize.value_or(CellPixelSize{10, 20});
        const std::optional<KittyPlacementContext> &context = terminal.kittyPlacementContext;
        double w = static_cast<double>(width);
        double h = static_cast<double>(height);
        if (context) {
            const bool cellsWide = context->widthRequest.kind == ImageSizeRequest::Kind::cells;
            const bool cellsHigh = context->heightRequest.kind == ImageSizeRequest::Kind::cells;
            const double naturalW = w;
            const double naturalH = h;
            if (cellsWide) {
                w = static_cast<double>(context->widthRequest.value * cell.width);
            }
            if (cellsHigh) {
                h = static_cast<double>(context->heightRequest.value * cell.height);
            }
            if (context->preserveAspectRatio && cellsWide && !cellsHigh) {
                h = naturalH * w / naturalW;
            } else if (context->preserveAspectRatio && cellsHigh && !cellsWide) {
                w = naturalW * h / naturalH;
            }
        }
        const auto cols = static_cast<int64_t>(std::ceil(w / static_cast<double>(cell.width)));
        const auto rows = static_cast<int64_t>(std::ceil(h / static_cast<double>(cell.height)));
        Buffer &buffer = *terminal.buffer;
        const int64_t col = buffer.x();
        const int64_t anchorRow = buffer.yBase() + buffer.y();
        placedAt.emplace_back(col, buffer.y());
        if (context && context->imageId && context->placementId) {
            KittyPlacementRecord record;
            record.imageId = *context->imageId;
            record.placementId = *context->placementId;
            record.parentImageId = context->parentImageId;
            record.parentPlacementId = context->parentPlacementId;
            record.parentOffsetH = context->parentOffsetH;
            record.parentOffsetV = context->parentOffsetV;
            record.col = col;
            record.row = anchorRow;
            record.cols = cols;
            record.rows = rows;
            record.zIndex = context->zIndex;
            record.isAlternateBuffer = terminal.isAlternateBufferActive();
            terminal.kittyGraphicsState.placementsByKey.insert_or_assign(
                KittyPlacementKey{record.imageId, record.placementId}, record);
        }
        for (int64_t stripe = 0; stripe < rows; ++stripe) {
            auto image = std::make_shared<FakeStripe>(col);
            if (context) {
                image->kittyIsKitty = true;
                image->kittyImageId = context->imageId;
                image->kittyImageNumber = context->imageNumber;
                image->kittyPlacementId = context->placementId;
                image->kittyZIndex = context->zIndex;
                image->kittyCol = col;
                image->kittyRow = anchorRow;
                image->kittyCols = cols;
                image->kittyRows = rows;
            }
            buffer.appendLineImage(std::move(image), buffer.yBase() + buffer.y());
            if (stripe + 1 == rows && context) {
                break;
            }
            terminal.cmdLineFeed();
            buffer.setX(col);
        }
    }
};

// Raw pixels of `width` × `height`.
inline KittyGraphicsPayload rgbaImage(int64_t width, int64_t height)
{
    return KittyGraphicsPayload::rgba(std::vector<uint8_t>(static_cast<size_t>(width * height * 4), 0xff),
                                      width, height);
}

// The stripes on the lines of a buffer: image id to the line indexes holding one (one entry per
// stripe) and the column of each.
struct StripeLocation {
    int64_t line = 0;
    int64_t col = 0;
    int64_t kittyRow = 0;

    bool operator==(const StripeLocation &) const = default;
    auto operator<=>(const StripeLocation &) const = default;
};

inline std::map<uint32_t, std::vector<StripeLocation>> stripesOf(Buffer &buffer)
{
    std::map<uint32_t, std::vector<StripeLocation>> stripes;
    CircularBufferLineList &lines = buffer.lines();
    for (int64_t row = 0; row < lines.count(); ++row) {
        const BufferLine &line = lines[row];
        if (!line.images) {
            continue;
        }
        for (const auto &each : *line.images) {
            if (const KittyPlacementImage *image = kittyLineImage(each)) {
                stripes[image->kittyImageId.value_or(0)].push_back({row, each->col(), image->kittyRow});
            }
        }
    }
    return stripes;
}

// Image ids that still show anywhere: by stripes on either screen or by a record.
inline std::set<uint32_t> shownImageIds(Terminal &terminal)
{
    std::set<uint32_t> ids;
    for (Buffer *screen : {terminal.normalBuffer.get(), terminal.altBuffer.get()}) {
        for (const auto &[id, stripes] : stripesOf(*screen)) {
            ids.insert(id);
        }
    }
    for (const auto &[key, record] : terminal.kittyGraphicsState.placementsByKey) {
        ids.insert(record.imageId);
    }
    return ids;
}

inline std::set<uint32_t> storedImageIds(const Terminal &terminal)
{
    std::set<uint32_t> ids;
    for (const auto &[id, image] : terminal.kittyGraphicsState.imagesById) {
        ids.insert(id);
    }
    return ids;
}

// A terminal with a fake view.
struct KittyTerminal {
    explicit KittyTerminal(int64_t cols = 20, int64_t rows = 10, int64_t scrollback = 50)
        : terminal(&view, optionsOfSize(cols, rows, scrollback))
    {
    }

    // Runs one put or delete command through its entry point and returns the replies.
    std::string send(std::string_view command)
    {
        view.sent.clear();
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(command.data()),
                                             command.size());
        const KittyGraphicsControl control = parseKittyGraphicsControl(bytes).first;
        if (control.action == 'p') {
            terminal.putKittyImage(control);
        } else if (control.action == 'd' || control.action == 'D') {
            terminal.deleteKittyPlacements(control);
        }
        return view.sent;
    }
    void feed(std::string_view text) { terminal.feedString(text); }
    void moveCursor(int64_t col, int64_t row)
    {
        feed("\x1b[" + std::to_string(row + 1) + ";" + std::to_string(col + 1) + "H");
    }
    const KittyPlacementRecord *record(uint32_t imageId, uint32_t placementId) const
    {
        const auto &table = terminal.kittyGraphicsState.placementsByKey;
        const auto found = table.find(KittyPlacementKey{imageId, placementId});
        return found == table.end() ? nullptr : &found->second;
    }
    std::pair<int64_t, int64_t> cursor() const { return terminal.cursorPosition(); }

    FakeKittyView view;
    Terminal terminal;
};

inline std::string reply(std::string_view text)
{
    return "\x1b_G" + std::string(text) + "\x1b\\";
}

} // namespace kestrix::testing
