#include "Kestrix/rendering/gpu/MetalImageDrawData.h"
#include "tests/Kestrix/rendering/gpu/FakeGpu.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

// Cells of 8 × 15 points on a view of 10 × 3 cells: row r spans y-up points 45 - 15(r + 1) to 45 - 15r.
MetalRowGeometry rowGeometry(int64_t screenRow, double scale = 1)
{
    MetalRowGeometry g;
    g.screenRow = screenRow;
    g.cellWidth = 8;
    g.cellHeight = 15;
    g.viewWidth = 80;
    g.viewHeight = 45;
    g.scale = scale;
    g.backingScale = scale;
    g.cols = 10;
    return g;
}

// A stripe of `width` × `height` points at `scale` device pixels per point.
std::shared_ptr<AppleImage> stripe(int64_t col, double width = 16, double height = 15, double scale = 1)
{
    QImage pixels(static_cast<int>(width * scale), static_cast<int>(height * scale), QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::red);
    pixels.setDevicePixelRatio(scale);
    return std::make_shared<AppleImage>(pixels, static_cast<int64_t>(width), static_cast<int64_t>(height), col);
}

std::shared_ptr<AppleImage> kittyStripe(int64_t col, int64_t zIndex, uint32_t id)
{
    auto image = stripe(col);
    image->kittyIsKitty = true;
    image->kittyZIndex = zIndex;
    image->kittyImageId = id;
    return image;
}

// The quad's lower-left and upper-right corners and texture corners.
struct Quad {
    GpuRect position;
    GpuRect texture;
    friend bool operator==(const Quad &, const Quad &) = default;
};

Quad quad(const ImageDraw &draw)
{
    EXPECT_EQ(draw.vertices.size(), 6u);
    const GlyphVertex &low = draw.vertices.at(0);
    const GlyphVertex &high = draw.vertices.at(4);
    for (const GlyphVertex &vertex : draw.vertices) {
        EXPECT_EQ(vertex.color, (GpuColor{1, 1, 1, 1}));
    }
    return {{low.position, high.position}, {low.texCoord, high.texCoord}};
}

const GpuRect wholeTexture{{0, 0}, {1, 1}};

struct ImageDrawData : ::testing::Test {
    RowDrawData draw(const BufferLine::ImageList &images, MetalRowGeometry g,
                     LineRenderMode mode = LineRenderMode::single)
    {
        RowDrawData data;
        g.renderMode = mode;
        appendLineImageDraws(data, images, g, textures);
        return data;
    }

    FakeTextureFactory factory;
    MetalImageTextures textures{factory, 4096};
};

TEST_F(ImageDrawData, ALineImageCoversItsCellsFromTheRowTopAtEveryScale)
{
    // Column 2 of screen row 1: x 16...32, y-up 15...30 points.
    RowDrawData data = draw({stripe(2)}, rowGeometry(1));
    ASSERT_EQ(data.otherImageDraws.size(), 1u);
    EXPECT_EQ(quad(data.otherImageDraws[0]), (Quad{{{16, 15}, {32, 30}}, wholeTexture}));
    // At scale 2 the same stripe has twice the pixels and covers twice the drawable pixels.
    data = draw({stripe(2, 16, 15, 2)}, rowGeometry(1, 2));
    EXPECT_EQ(quad(data.otherImageDraws.at(0)), (Quad{{{32, 30}, {64, 60}}, wholeTexture}));
    // A stripe shorter than its row (the last one of an image) hangs from the row's top.
    data = draw({stripe(0, 8, 5)}, rowGeometry(0));
    EXPECT_EQ(quad(data.otherImageDraws.at(0)).position, (GpuRect{{0, 40}, {8, 45}}));
    EXPECT_TRUE(data.underImageDraws.empty() && data.overImageDraws.empty() && data.placeholderImageDraws.empty());
}

TEST_F(ImageDrawData, KittyPixelOffsetsMoveTheImageRightAndDown)
{
    auto image = kittyStripe(2, 0, 1);
    image->kittyPixelOffsetX = 3;
    image->kittyPixelOffsetY = 5;
    EXPECT_EQ(quad(draw({image}, rowGeometry(1)).overImageDraws.at(0)).position, (GpuRect{{19, 10}, {35, 25}}));
    // Offsets are device pixels: half as many points at scale 2, the same pixels.
    auto sharp = stripe(2, 16, 15, 2);
    sharp->kittyIsKitty = true;
    sharp->kittyPixelOffsetX = 3;
    sharp->kittyPixelOffsetY = 5;
    EXPECT_EQ(quad(draw({sharp}, rowGeometry(1, 2)).overImageDraws.at(0)).position, (GpuRect{{35, 25}, {67, 55}}));
    // Images of other protocols have no offsets.
    auto plain = stripe(2);
    plain->kittyPixelOffsetX = 3;
    EXPECT_EQ(quad(draw({plain}, rowGeometry(1)).otherImageDraws.at(0)).position.min.x, 16);
}

TEST_F(ImageDrawData, KittyImagesGoUnderOrOverTheTextByZIndexInZOrder)
{
    // Attached out of order; each column tells the images apart.
    const BufferLine::ImageList images{kittyStripe(0, 1, 1), stripe(1), kittyStripe(2, -1, 1), kittyStripe(3, 0, 9),
                                       kittyStripe(4, -5, 1), kittyStripe(5, 0, 2), stripe(6)};
    const RowDrawData data = draw(images, rowGeometry(0));
    const auto columns = [](const std::vector<ImageDraw> &draws) {
        std::vector<float> found;
        for (const ImageDraw &each : draws) {
            found.push_back(quad(each).position.min.x / 8);
        }
        return found;
    };
    EXPECT_EQ(columns(data.underImageDraws), (std::vector<float>{4, 2}));
    // Equal z: the lower image id first.
    EXPECT_EQ(columns(data.overImageDraws), (std::vector<float>{5, 3, 0}));
    EXPECT_EQ(columns(data.otherImageDraws), (std::vector<float>{1, 6}));
}

TEST_F(ImageDrawData, ImagesAreCutToTheScreenAndDoubleHeightHalvesToTheirRow)
{
    // Pushed 10 pixels down from the last row, a third of it lies below the screen: the texture is cut
    // in proportion (its bottom rows are at v = 0).
    auto low = kittyStripe(0, 0, 1);
    low->kittyPixelOffsetY = 10;
    const Quad cut = quad(draw({low}, rowGeometry(2)).overImageDraws.at(0));
    EXPECT_EQ(cut.position, (GpuRect{{0, 0}, {16, 5}}));
    EXPECT_FLOAT_EQ(cut.texture.min.y, 10.0f / 15);
    EXPECT_EQ(cut.texture.max, (GpuPoint{1, 1}));
    // Wholly off the screen: nothing.
    EXPECT_TRUE(draw({stripe(10)}, rowGeometry(0)).otherImageDraws.empty());
    auto far = kittyStripe(0, 0, 1);
    far->kittyPixelOffsetX = int64_t{1} << 40;
    EXPECT_TRUE(draw({far}, rowGeometry(0)).overImageDraws.empty());

    // Double width doubles x; the top half of a double-height line shows the image's upper half,
    // twice as large, inside its own row.
    EXPECT_EQ(quad(draw({stripe(1, 8, 15)}, rowGeometry(1), LineRenderMode::doubleWidth).otherImageDraws.at(0)).position,
              (GpuRect{{16, 15}, {32, 30}}));
    const Quad top = quad(draw({stripe(1, 8, 15)}, rowGeometry(1), LineRenderMode::doubledTop).otherImageDraws.at(0));
    EXPECT_EQ(top, (Quad{{{16, 15}, {32, 30}}, {{0, 0.5f}, {1, 1}}}));
    const Quad bottom = quad(draw({stripe(1, 8, 15)}, rowGeometry(1), LineRenderMode::doubledDown).otherImageDraws.at(0));
    EXPECT_EQ(bottom, (Quad{{{16, 15}, {32, 30}}, {{0, 0}, {1, 0.5f}}}));
}

// Kitty image 5 of `width` × `height` pixels with virtual placements on a view of 8 × 15 cells.
struct PlaceholderDrawData : ImageDrawData {
    void storeImage(int64_t width, int64_t height)
    {
        std::vector<uint8_t> bytes(static_cast<size_t>(width * height * 4), 255);
        state.imagesById.insert_or_assign(
            5, KittyGraphicsImage{KittyGraphicsPayload::rgba(std::move(bytes), width, height), width * height * 4, 1, 1});
    }
    void place(uint32_t placementId, int64_t cols, int64_t rows, int64_t offsetX = 0, int64_t offsetY = 0)
    {
        state.placementsByKey[{5, placementId}] = KittyPlacementRecord{.imageId = 5, .placementId = placementId,
                                                                       .pixelOffsetX = offsetX, .pixelOffsetY = offsetY,
                                                                       .cols = cols, .rows = rows, .isVirtual = true};
    }
    // The slice each cell shows; nothing for a cell that shows none.
    std::vector<std::optional<Quad>> slices(const std::vector<KittyPlaceholderCell> &cells, double scale = 1)
    {
        const VirtualPlacements placements = virtualPlacementsByImage(state, false);
        std::vector<std::optional<Quad>> found;
        for (const KittyPlaceholderCell &cell : cells) {
            RowDrawData data;
            const KittyPlaceholderCell one[] = {cell};
            MetalRowGeometry g = rowGeometry(cell.row, scale);
            g.virtualPlacements = &placements;
            g.kittyState = &state;
            appendPlaceholderImageDraws(data, one, g, textures);
            found.push_back(data.placeholderImageDraws.empty() ? std::nullopt
                                                               : std::optional(quad(data.placeholderImageDraws.at(0))));
        }
        return found;
    }
    static KittyPlaceholderCell cell(int64_t row, int64_t col, int64_t placeholderRow, int64_t placeholderCol,
                                     uint32_t placementId = 0)
    {
        return {.row = row, .col = col, .imageId = 5, .placementId = placementId, .placeholderRow = placeholderRow,
                .placeholderCol = placeholderCol};
    }

    KittyGraphicsState state;
};

TEST_F(PlaceholderDrawData, EachCellShowsItsOwnSliceOfThePlacement)
{
    // 16 × 30 pixels fill a placement of 2 × 2 cells exactly; it starts at column 3 of row 0.
    storeImage(16, 30);
    place(1, 2, 2);
    EXPECT_EQ(slices({cell(0, 3, 0, 0), cell(0, 4, 0, 1), cell(1, 3, 1, 0), cell(1, 4, 1, 1)}),
              (std::vector<std::optional<Quad>>{
                  Quad{{{24, 30}, {32, 45}}, {{0, 0.5f}, {0.5f, 1}}},
                  Quad{{{32, 30}, {40, 45}}, {{0.5f, 0.5f}, {1, 1}}},
                  Quad{{{24, 15}, {32, 30}}, {{0, 0}, {0.5f, 0.5f}}},
                  Quad{{{32, 15}, {40, 30}}, {{0.5f, 0}, {1, 0.5f}}},
              }));
    // At scale 2 the same slices cover twice the pixels.
    EXPECT_EQ(slices({cell(1, 4, 1, 1)}, 2).at(0), (Quad{{{64, 30}, {80, 60}}, {{0.5f, 0}, {1, 0.5f}}}));
}

TEST_F(PlaceholderDrawData, AnImageOfAnotherAspectIsLetterboxedAndItsEmptyBandsDrawNothing)
{
    // 8 × 8 pixels in a placement one cell wide and three high: a centred 8 × 8 square in row 1.
    storeImage(8, 8);
    place(1, 1, 3);
    const auto found = slices({cell(0, 0, 0, 0), cell(1, 0, 1, 0), cell(2, 0, 2, 0)});
    EXPECT_EQ(found[0], std::nullopt);
    EXPECT_EQ(found[1], (Quad{{{0, 18.5f}, {8, 26.5f}}, wholeTexture}));
    EXPECT_EQ(found[2], std::nullopt);
}

TEST_F(PlaceholderDrawData, ThePlacementIsChosenByIdOrTheLowestIdAndPixelOffsetsMoveItRightAndDown)
{
    storeImage(8, 15);
    place(7, 1, 1, 2, 4);
    place(3, 2, 1);
    // Placement 0 means any: the lowest id that holds the cell, 3, whatever order they were made in.
    const auto found = slices({cell(0, 0, 0, 0), cell(0, 1, 0, 1), cell(0, 0, 0, 0, 7), cell(0, 0, 0, 1, 7),
                               cell(0, 0, 0, 0, 4)});
    // Placement 3 (16 × 15 points) centres the 8 × 15 image: each of its cells shows a half.
    EXPECT_EQ(found[0], (Quad{{{4, 30}, {8, 45}}, {{0, 0}, {0.5f, 1}}}));
    EXPECT_EQ(found[1], (Quad{{{8, 30}, {12, 45}}, {{0.5f, 0}, {1, 1}}}));
    // Placement 7 sits 2 pixels right and 4 down; the cell shows the part still inside it.
    EXPECT_EQ(found[2], (Quad{{{2, 30}, {8, 41}}, {{0, 4.0f / 15}, {6.0f / 8, 1}}}));
    EXPECT_EQ(found[3], std::nullopt);
    EXPECT_EQ(found[4], std::nullopt);
}

TEST_F(PlaceholderDrawData, CellsWithoutAPlacementImageOrTerminalDrawNothing)
{
    place(1, 1, 1);
    EXPECT_EQ(slices({cell(0, 0, 0, 0)}).at(0), std::nullopt);
    storeImage(8, 15);
    state.placementsByKey.clear();
    place(1, 0, 1);
    EXPECT_EQ(slices({cell(0, 0, 0, 0)}).at(0), std::nullopt);
    RowDrawData data;
    const KittyPlaceholderCell one[] = {cell(0, 0, 0, 0)};
    appendPlaceholderImageDraws(data, one, rowGeometry(0), textures);
    EXPECT_TRUE(data.placeholderImageDraws.empty());
}

} // namespace
} // namespace kestrix
