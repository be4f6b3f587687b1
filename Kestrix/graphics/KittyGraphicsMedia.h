#pragma once

#include "Kestrix/graphics/KittyGraphicsControl.h"
#include "Kestrix/graphics/KittyGraphicsPayload.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrix {

// An image, or the error text to reply with.
using KittyPayloadResult = std::variant<KittyGraphicsPayload, std::string_view>;

// Whether the media that reach this machine's files and shared memory ("f", "t", "s") may be used.
enum class KittyLocalMedia : uint8_t { refused, allowed };

// Fetches a transmission's image from the medium its "t" key names (the payload itself, a file, a
// temporary file or a shared-memory object), inflates and checks it. `payload` is the command's
// decoded payload (empty when its base64 text was malformed). Blocks for file and shared-memory
// reads. With local media refused, a file, temporary-file or shared-memory command touches nothing
// and gets one answer whatever it names, so it learns nothing about this machine.
KittyPayloadResult loadKittyPayload(const KittyGraphicsControl &control, std::span<const uint8_t> payload,
                                    KittyLocalMedia localMedia);

// The direct medium: the payload is the image data.
std::optional<KittyGraphicsPayload> decodeKittyDirectPayload(const KittyGraphicsControl &control,
                                                             std::span<const uint8_t> payload);

// Media "f" and "t": the payload is the path of the file. A temporary file is deleted once it
// has been opened, whatever its contents.
KittyPayloadResult loadKittyFilePayload(const KittyGraphicsControl &control, std::span<const uint8_t> payload,
                                        bool isTemporary);

// Whether a resolved path lies in a directory that holds temporary files.
bool isAllowedKittyTempPath(std::string_view path);

// Reads up to `size` bytes (0: to the end) from `offset` of a regular file; nothing on any failure.
std::optional<std::vector<uint8_t>> readKittyFile(const std::string &path, int64_t offset, int64_t size,
                                                  bool unlinkAfterRead);

// Medium "s": the payload is the name of a POSIX shared-memory object, unlinked after use.
KittyPayloadResult loadKittySharedMemoryPayload(const KittyGraphicsControl &control,
                                                std::span<const uint8_t> payload);

// Reads `offset` up to the end of the range (`expectedSize` when given, else the object's size,
// shortened to offset + size when `size` is not 0); nothing on any failure. The object is unlinked
// once it has been opened.
std::optional<std::vector<uint8_t>> readKittySharedMemory(const std::string &name,
                                                          std::optional<int64_t> expectedSize, int64_t offset,
                                                          int64_t size);

} // namespace kestrix
