#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace kestrix {

// The keys of one Kitty graphics command (the control section of an APC "G" string), each with its
// protocol default. The parser checks no ranges; whoever reads a field decides what it accepts.
// A character field holds the first byte of an ASCII value.
struct KittyGraphicsControl {
    char action = 't';                              // a: t, T, q, p, d, D
    int64_t suppressResponses = 0;                  // q: non-zero silences every reply
    int64_t format = 32;                            // f: 24, 32 or 100
    char transmission = 'd';                        // t: d direct, f file, t temporary file, s shared memory
    int64_t width = 0;                              // s
    int64_t height = 0;                             // v
    int64_t cropX = 0;                              // x (also a delete's column or id bound)
    int64_t cropY = 0;                              // y (also a delete's row or id bound)
    int64_t cropWidth = 0;                          // w
    int64_t cropHeight = 0;                         // h
    int64_t dataSize = 0;                           // S
    int64_t dataOffset = 0;                         // O
    std::optional<uint32_t> imageId = std::nullopt; // i (0 reads as absent)
    std::optional<uint32_t> imageNumber = std::nullopt;       // I
    std::optional<uint32_t> placementId = std::nullopt;       // p
    std::optional<uint32_t> parentImageId = std::nullopt;     // P
    std::optional<uint32_t> parentPlacementId = std::nullopt; // Q
    int64_t offsetH = 0;                                      // H
    int64_t offsetV = 0;                                      // V
    int64_t pixelOffsetX = 0;                                 // X
    int64_t pixelOffsetY = 0;                                 // Y
    int64_t unicodePlaceholder = 0;                           // U
    int64_t zIndex = 0;                                       // z
    int64_t more = 0;                                         // m: only for the direct medium, else 0
    std::optional<char> compression = std::nullopt;           // o
    int64_t columns = 0;                                      // c
    int64_t rows = 0;                                         // r
    int64_t cursorPolicy = 0;                                 // C
    std::optional<char> deleteMode = std::nullopt;            // d

    bool operator==(const KittyGraphicsControl &) const = default;
};

// Splits the bytes after an APC string's "G" into the control keys and the payload behind the first
// ";" (still base64 text, a view of `bytes`). Never fails: unreadable keys keep their defaults.
std::pair<KittyGraphicsControl, std::span<const uint8_t>>
parseKittyGraphicsControl(std::span<const uint8_t> bytes);

} // namespace kestrix
