#pragma once

// Kitty images for tests that draw them: stored the way the terminal stores a transmission.

#include "Kestrix/graphics/KittyGraphicsState.h"

#include <QBuffer>
#include <QImage>
#include <QSize>

#include <utility>

namespace kestrix {

inline void storeKittyImage(KittyGraphicsState &state, uint32_t id, KittyGraphicsPayload payload, uint64_t revision = 1)
{
    const auto bytes = static_cast<int64_t>(payload.bytes().size());
    state.imagesById.insert_or_assign(id, KittyGraphicsImage{std::move(payload), bytes, 1, revision});
}

// A PNG of one colour, encoded as a host would send it.
inline KittyGraphicsPayload solidPng(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::green);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return KittyGraphicsPayload::png({data.begin(), data.end()});
}

} // namespace kestrix
