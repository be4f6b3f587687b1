#pragma once

// Kitty images for tests that draw them: stored the way the terminal stores a transmission.

#include "Kestrix/graphics/KittyGraphicsState.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

#include <functional>
#include <string>
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

// Raw RGBA as a Kitty transmission sends it: straight alpha, rows top to bottom, base64.
inline std::string rgbaPayload(int width, int height, const std::function<QColor(int x, int y)> &pixel)
{
    QByteArray bytes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor c = pixel(x, y);
            for (const int channel : {c.red(), c.green(), c.blue(), c.alpha()}) {
                bytes.append(static_cast<char>(channel));
            }
        }
    }
    return bytes.toBase64().toStdString();
}

} // namespace kestrix
