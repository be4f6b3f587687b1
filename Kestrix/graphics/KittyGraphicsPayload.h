#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestrix {

// The image data of one Kitty transmission: an encoded image (PNG or another format the decoder
// reads), kept as it arrived, or raw pixels of 4 bytes each (red, green, blue, alpha), rows top to
// bottom. The bytes are immutable and shared, so copies are cheap.
class KittyGraphicsPayload {
public:
    enum class Kind : uint8_t { png, rgba };

    static KittyGraphicsPayload png(std::vector<uint8_t> data);
    // `bytes` holds width × height × 4 bytes.
    static KittyGraphicsPayload rgba(std::vector<uint8_t> bytes, int64_t width, int64_t height);

    Kind kind() const { return kind_; }
    bool isPng() const { return kind_ == Kind::png; }
    bool isRgba() const { return kind_ == Kind::rgba; }
    // The encoded data of a png, the pixels of an rgba payload.
    std::span<const uint8_t> bytes() const;
    // In pixels, for rgba; 0 for png (its size is in the encoded data).
    int64_t width() const { return width_; }
    int64_t height() const { return height_; }

private:
    KittyGraphicsPayload(Kind kind, std::vector<uint8_t> bytes, int64_t width, int64_t height);

    Kind kind_;
    std::shared_ptr<const std::vector<uint8_t>> bytes_;
    int64_t width_;
    int64_t height_;
};

} // namespace kestrix
