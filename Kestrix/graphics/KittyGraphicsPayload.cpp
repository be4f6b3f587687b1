#include "Kestrix/graphics/KittyGraphicsPayload.h"

namespace kestrix {

KittyGraphicsPayload::KittyGraphicsPayload(Kind kind, std::vector<uint8_t> bytes, int64_t width,
                                           int64_t height)
    : kind_(kind)
    , bytes_(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)))
    , width_(width)
    , height_(height)
{
}

KittyGraphicsPayload KittyGraphicsPayload::png(std::vector<uint8_t> data)
{
    return KittyGraphicsPayload(Kind::png, std::move(data), 0, 0);
}

KittyGraphicsPayload KittyGraphicsPayload::rgba(std::vector<uint8_t> bytes, int64_t width, int64_t height)
{
    return KittyGraphicsPayload(Kind::rgba, std::move(bytes), width, height);
}

std::span<const uint8_t> KittyGraphicsPayload::bytes() const
{
    return *bytes_;
}

} // namespace kestrix
