#include "Kestrix/rendering/gpu/MetalImageTextures.h"

#include "Kestrix/rendering/KittyPlaceholderImages.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

namespace {

int64_t textureBytes(QSize size)
{
    return static_cast<int64_t>(size.width()) * size.height() * bytesPerPixel(GpuPixelFormat::bgra8);
}

} // namespace

MetalImageTextures::MetalImageTextures(GpuTextureFactory &factory, int maxTextureSize, int64_t byteBudget)
    : factory_(factory), maxTextureSize_(maxTextureSize), byteBudget_(byteBudget)
{
}

QSize MetalImageTextures::textureSize(QSize imageSize, int maxTextureSize)
{
    const int longer = std::max(imageSize.width(), imageSize.height());
    if (longer <= maxTextureSize) {
        return imageSize;
    }
    // A texture the GPU cannot hold would not be drawn at all; a smaller one of the same aspect is.
    const double k = static_cast<double>(maxTextureSize) / longer;
    const auto fit = [&](int side) { return std::clamp(static_cast<int>(std::lround(side * k)), 1, maxTextureSize); };
    return {fit(imageSize.width()), fit(imageSize.height())};
}

std::optional<QImage> MetalImageTextures::texturePixels(const QImage &image, int maxTextureSize)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 || maxTextureSize <= 0) {
        return std::nullopt;
    }
    QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (const QSize size = textureSize(pixels.size(), maxTextureSize); size != pixels.size()) {
        pixels = pixels.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (pixels.isNull()) {
        return std::nullopt;
    }
    // Texture rows start at the bottom, image rows at the top.
    return pixels.mirrored(false, true);
}

int64_t MetalImageTextures::residentBytes() const
{
    int64_t bytes = 0;
    const auto add = [&](const std::shared_ptr<GpuTexture> &texture) {
        if (texture) {
            bytes += textureBytes(QSize(texture->width(), texture->height()));
        }
    };
    for (const auto &[key, entry] : imageTextures_) {
        add(entry.texture);
    }
    for (const auto &[key, entry] : kittyTextures_) {
        add(entry.texture);
    }
    return bytes;
}

bool MetalImageTextures::makeRoom(QSize imageSize)
{
    const int64_t needed = textureBytes(textureSize(imageSize, maxTextureSize_));
    if (needed > byteBudget_) {
        return false;
    }
    if (residentBytes() + needed <= byteBudget_) {
        return true;
    }
    // What this frame has not asked for and no cached row holds is not on screen.
    const auto idle = [&](const auto &item) {
        return (!item.second.texture || item.second.texture.use_count() == 1) && item.second.lastUsedFrame < frame_;
    };
    std::erase_if(imageTextures_, idle);
    std::erase_if(kittyTextures_, idle);
    return residentBytes() + needed <= byteBudget_;
}

std::shared_ptr<GpuTexture> MetalImageTextures::upload(const QImage &image)
{
    if (!makeRoom(image.size())) {
        return nullptr;
    }
    const std::optional<QImage> pixels = texturePixels(image, maxTextureSize_);
    if (!pixels) {
        return nullptr;
    }
    std::shared_ptr<GpuTexture> texture = factory_.makeTexture(pixels->width(), pixels->height(), GpuPixelFormat::bgra8);
    if (!texture) {
        return nullptr;
    }
    texture->replaceRegion(0, 0, pixels->width(), pixels->height(), pixels->constBits(), pixels->bytesPerLine());
    return texture;
}

std::shared_ptr<GpuTexture> MetalImageTextures::imageTexture(const std::shared_ptr<const AppleImage> &image)
{
    if (!image) {
        return nullptr;
    }
    const auto found = imageTextures_.find(image.get());
    // An entry whose image has gone may share its address with a new image.
    if (found != imageTextures_.end() && found->second.image.lock() == image) {
        found->second.lastUsedFrame = frame_;
        return found->second.texture;
    }
    std::shared_ptr<GpuTexture> texture = upload(image->image());
    if (!texture) {
        return nullptr;
    }
    imageTextures_[image.get()] = {image, texture, frame_};
    return texture;
}

std::optional<MetalImageTexture> MetalImageTextures::kittyTexture(uint32_t imageId, const KittyGraphicsState &state)
{
    const auto stored = state.imagesById.find(imageId);
    if (stored == state.imagesById.end()) {
        return std::nullopt;
    }
    const KittyImageSignature signature = kittyImageSignature(stored->second);
    const auto found = kittyTextures_.find(imageId);
    if (found != kittyTextures_.end() && found->second.signature == signature) {
        found->second.lastUsedFrame = frame_;
        if (!found->second.texture) {
            return std::nullopt;
        }
        return MetalImageTexture{found->second.texture, found->second.imageSize};
    }
    // Checked before decoding, so an image that cannot have a texture now is not decoded for nothing.
    const KittyGraphicsPayload &payload = stored->second.payload;
    if (const std::optional<QSize> declared = kittyImagePixelSize(payload); declared && !makeRoom(*declared)) {
        return std::nullopt;
    }
    const std::optional<QImage> image = decodeKittyImage(payload);
    if (!image) {
        kittyTextures_[imageId] = {signature, nullptr, {}, frame_};
        return std::nullopt;
    }
    std::shared_ptr<GpuTexture> texture = upload(*image);
    if (!texture) {
        kittyTextures_.erase(imageId);
        return std::nullopt;
    }
    const QSizeF size = image->deviceIndependentSize();
    kittyTextures_[imageId] = {signature, texture, size, frame_};
    return MetalImageTexture{texture, size};
}

void MetalImageTextures::beginFrame(const KittyGraphicsState *state)
{
    const uint64_t previous = frame_++;
    // Only this cache holds it and the last frame did not ask for it: nothing on screen shows it.
    const auto unused = [&](const std::shared_ptr<GpuTexture> &texture, uint64_t lastUsed) {
        return (!texture || texture.use_count() == 1) && lastUsed < previous;
    };
    std::erase_if(imageTextures_, [&](const auto &item) {
        return item.second.image.expired() || unused(item.second.texture, item.second.lastUsedFrame);
    });
    std::erase_if(kittyTextures_, [&](const auto &item) {
        return !state || !state->imagesById.contains(item.first) ||
               unused(item.second.texture, item.second.lastUsedFrame);
    });
}

} // namespace kestrix
