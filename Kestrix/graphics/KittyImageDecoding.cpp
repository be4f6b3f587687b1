// Inflation, the format check of fetched image bytes and decoding of encoded images (PNG, through
// libpng's simplified reader).

#include "Kestrix/graphics/KittyImageDecoding.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string_view>
#include <png.h>
#include <zlib.h>

namespace kestrix {

namespace {

constexpr size_t inflateWindow = 65536;

// Raw pixels of `bytesPerPixel` each: s × v of them, as the control declares.
std::optional<int64_t> rawByteCount(const KittyGraphicsControl &control, int64_t bytesPerPixel)
{
    if (!isKittyImageSide(control.width) || !isKittyImageSide(control.height)) {
        return std::nullopt;
    }
    return control.width * control.height * bytesPerPixel;
}

constexpr std::array<uint8_t, 8> pngSignature = {137, 80, 78, 71, 13, 10, 26, 10};
// Signature, the IHDR chunk's length and type, width and height.
constexpr size_t pngSizeEnd = 24;
// Room for the chunks around the pixels: palettes, colour profiles, text.
constexpr int64_t pngAncillaryRoom = 1024 * 1024;

uint32_t bigEndian32(std::span<const uint8_t> bytes)
{
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// The size a PNG's header declares, once `bytes` holds it; nothing for bytes that are no PNG.
std::optional<KittyImageSize> pngHeaderSize(std::span<const uint8_t> bytes)
{
    if (!std::equal(pngSignature.begin(), pngSignature.end(), bytes.begin()) ||
        !std::ranges::equal(bytes.subspan(12, 4), std::string_view("IHDR"))) {
        return std::nullopt;
    }
    return KittyImageSize{bigEndian32(bytes.subspan(16, 4)), bigEndian32(bytes.subspan(20, 4))};
}

std::vector<uint8_t> rgbToRgba(std::span<const uint8_t> rgb)
{
    std::vector<uint8_t> rgba;
    rgba.reserve(rgb.size() / 3 * 4);
    for (size_t i = 0; i + 3 <= rgb.size(); i += 3) {
        rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
    }
    return rgba;
}

// A libpng reader over `data`, released when it goes out of scope.
class PngReader {
public:
    explicit PngReader(std::span<const uint8_t> data)
    {
        image_.version = PNG_IMAGE_VERSION;
        isOpen_ = !data.empty() && png_image_begin_read_from_memory(&image_, data.data(), data.size()) != 0;
    }
    ~PngReader() { png_image_free(&image_); }
    PngReader(const PngReader &) = delete;
    PngReader &operator=(const PngReader &) = delete;

    bool isOpen() const { return isOpen_; }
    KittyImageSize size() const { return {int64_t{image_.width}, int64_t{image_.height}}; }

    std::optional<std::vector<uint8_t>> readRgba()
    {
        image_.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image_));
        if (png_image_finish_read(&image_, nullptr, pixels.data(), 0, nullptr) == 0) {
            return std::nullopt;
        }
        return pixels;
    }

private:
    png_image image_{};
    bool isOpen_ = false;
};

} // namespace

KittyInflationLimit kittyInflationLimit(const KittyGraphicsControl &control, std::optional<int64_t> declaredSize)
{
    switch (control.format) {
    case 24:
    case 32:
        return {rawByteCount(control, control.format == 24 ? 3 : 4).value_or(0), false};
    case 100:
        return {std::clamp<int64_t>(declaredSize.value_or(kittyPayloadLimit), 0, kittyPayloadLimit), true};
    default:
        return {0, false};
    }
}

int64_t kittyEncodedImageByteBound(int64_t width, int64_t height)
{
    const int64_t pixels = height * (1 + width * 8);
    return 2 * pixels + pngAncillaryRoom;
}

std::optional<std::vector<uint8_t>> kittyInflateZlib(std::span<const uint8_t> data, KittyInflationLimit limit)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return std::nullopt;
    }
    auto bound = static_cast<size_t>(std::clamp<int64_t>(limit.bytes, 0, kittyPayloadLimit));
    bool isHeaderChecked = !limit.isEncodedImage;
    std::vector<uint8_t> result;
    std::span<const uint8_t> rest = data;
    int status = Z_OK;
    while (status == Z_OK) {
        // zlib counts input in 32-bit units: hand over at most that much at a time.
        if (stream.avail_in == 0 && !rest.empty()) {
            const size_t piece = std::min<size_t>(rest.size(), UINT_MAX);
            stream.next_in = const_cast<Bytef *>(rest.data());
            stream.avail_in = static_cast<uInt>(piece);
            rest = rest.subspan(piece);
        }
        if (!isHeaderChecked && result.size() >= pngSizeEnd) {
            const std::optional<KittyImageSize> size = pngHeaderSize(result);
            if (!size || !isKittyImageSide(size->width) || !isKittyImageSide(size->height)) {
                break;
            }
            bound = std::min(bound, static_cast<size_t>(kittyEncodedImageByteBound(size->width, size->height)));
            isHeaderChecked = true;
        }
        const size_t before = result.size();
        // A stream that inflates past the limit is refused as soon as it does, not after.
        if (before > bound) {
            break;
        }
        // Never more room than the limit leaves, plus one byte to see a stream that passes it.
        const size_t window = std::min(inflateWindow, bound - before + 1);
        result.resize(before + window);
        stream.next_out = result.data() + before;
        stream.avail_out = static_cast<uInt>(window);
        status = inflate(&stream, Z_NO_FLUSH);
        result.resize(before + (window - stream.avail_out));
        // Input used up before the stream ended: a truncated stream, never a loop.
        if (status == Z_OK && stream.avail_in == 0 && rest.empty() && stream.avail_out != 0) {
            status = Z_BUF_ERROR;
        }
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || result.size() > bound) {
        return std::nullopt;
    }
    return result;
}

std::optional<KittyGraphicsPayload> makeKittyGraphicsPayload(const KittyGraphicsControl &control,
                                                             std::vector<uint8_t> data)
{
    if (data.empty() || data.size() > static_cast<size_t>(kittyPayloadLimit)) {
        return std::nullopt;
    }
    switch (control.format) {
    case 24: {
        const std::optional<int64_t> expected = rawByteCount(control, 3);
        if (!expected || data.size() != static_cast<size_t>(*expected)) {
            return std::nullopt;
        }
        return KittyGraphicsPayload::rgba(rgbToRgba(data), control.width, control.height);
    }
    case 32: {
        const std::optional<int64_t> expected = rawByteCount(control, 4);
        if (!expected || data.size() != static_cast<size_t>(*expected)) {
            return std::nullopt;
        }
        return KittyGraphicsPayload::rgba(std::move(data), control.width, control.height);
    }
    case 100: {
        const std::optional<KittyImageSize> size = kittyEncodedImageSize(data);
        if (!size || !isKittyImageSide(size->width) || !isKittyImageSide(size->height)) {
            return std::nullopt;
        }
        return KittyGraphicsPayload::png(std::move(data));
    }
    default:
        return std::nullopt;
    }
}

std::optional<KittyImageSize> kittyEncodedImageSize(std::span<const uint8_t> data)
{
    const PngReader reader(data);
    if (!reader.isOpen()) {
        return std::nullopt;
    }
    return reader.size();
}

std::optional<KittyGraphicsPayload> decodeKittyImageToRgba(std::span<const uint8_t> data)
{
    PngReader reader(data);
    if (!reader.isOpen()) {
        return std::nullopt;
    }
    const KittyImageSize size = reader.size();
    if (!isKittyImageSide(size.width) || !isKittyImageSide(size.height)) {
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> pixels = reader.readRgba();
    if (!pixels) {
        return std::nullopt;
    }
    return KittyGraphicsPayload::rgba(std::move(*pixels), size.width, size.height);
}

} // namespace kestrix
