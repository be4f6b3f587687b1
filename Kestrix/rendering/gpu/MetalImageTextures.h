#pragma once

#include "Kestrix/graphics/KittyGraphicsState.h"
#include "Kestrix/rendering/AppleImage.h"
#include "Kestrix/rendering/gpu/GpuCacheKeys.h"
#include "Kestrix/rendering/gpu/GpuTexture.h"

#include <QImage>
#include <QSizeF>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace kestrix {

// An image's texture and the size the image has before any shrinking to fit the GPU's limit, which is
// what its placement is fitted by.
struct MetalImageTexture {
    std::shared_ptr<GpuTexture> texture;
    QSizeF imageSize;
};

// The GPU textures of the images the renderer shows: line images by image object, Kitty images by
// id while their signature holds. Textures are premultiplied B, G, R, A with the image's bottom row
// first, never larger than the GPU's limit on either side (a larger image is shrunk to fit, keeping
// its aspect). A texture goes with its image, or when no frame has shown it since the last one.
// Together they stay within a byte budget: a host that shows many large images at once gets some of
// them undrawn rather than memory without bound.
class MetalImageTextures {
public:
    // Several full-screen images of a large display.
    static constexpr int64_t defaultByteBudget = int64_t{512} << 20;

    MetalImageTextures(GpuTextureFactory &factory, int maxTextureSize, int64_t byteBudget = defaultByteBudget);

    // Nothing for an image without pixels or when the GPU refuses the texture; that is tried again on
    // the next call.
    std::shared_ptr<GpuTexture> imageTexture(const std::shared_ptr<const AppleImage> &image);
    // The stored Kitty image `imageId`; nothing when it is not stored or its data does not decode (a
    // data that does not decode is not decoded again while its signature holds).
    std::optional<MetalImageTexture> kittyTexture(uint32_t imageId, const KittyGraphicsState &state);

    // Called at the start of every frame build, with the terminal's Kitty images (none without a
    // terminal). Drops the textures of images that have gone, and those neither used by the frame
    // before nor held by anything else (a cached row).
    void beginFrame(const KittyGraphicsState *state);

    size_t imageTextureCount() const { return imageTextures_.size(); }
    size_t kittyTextureCount() const { return kittyTextures_.size(); }
    // The bytes of the textures held here.
    int64_t residentBytes() const;

    // The size of the texture of an image: shrunk to `maxTextureSize` on its longer side when larger.
    static QSize textureSize(QSize imageSize, int maxTextureSize);
    // The pixels a texture is made from: premultiplied, `textureSize`, bottom row first. Nothing for
    // an image without pixels.
    static std::optional<QImage> texturePixels(const QImage &image, int maxTextureSize);

private:
    std::shared_ptr<GpuTexture> upload(const QImage &image);
    // Frees textures no frame needs until one of `imageSize` fits the budget; false when it cannot.
    bool makeRoom(QSize imageSize);

    struct ImageEntry {
        std::weak_ptr<const AppleImage> image;
        std::shared_ptr<GpuTexture> texture;
        uint64_t lastUsedFrame = 0;
    };
    struct KittyEntry {
        KittyImageSignature signature;
        // Nothing for data that does not decode.
        std::shared_ptr<GpuTexture> texture;
        QSizeF imageSize;
        uint64_t lastUsedFrame = 0;
    };

    GpuTextureFactory &factory_;
    int maxTextureSize_;
    int64_t byteBudget_;
    uint64_t frame_ = 0;
    std::unordered_map<const AppleImage *, ImageEntry> imageTextures_;
    std::unordered_map<uint32_t, KittyEntry> kittyTextures_;
};

} // namespace kestrix
