// The transmission media of Kitty images: the payload itself, files, temporary files and POSIX
// shared-memory objects. Every size the host names is bounded by kittyPayloadLimit before anything
// is allocated, and no descriptor outlives the call.

#include "Kestrix/graphics/KittyGraphicsMedia.h"

#include "Kestrix/graphics/KittyGraphicsErrors.h"
#include "Kestrix/graphics/KittyImageDecoding.h"
#include "Kestrix/model/Base64.h"
#include "Kestrix/model/Utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrix {

namespace {

constexpr size_t fileReadPiece = 4096;

// Areas of the file system that hold no images, only kernel interfaces and devices. Shared memory
// under /dev/shm stays reachable.
constexpr std::array<std::string_view, 3> refusedAreas = {"/proc/", "/sys/", "/dev/"};
constexpr std::string_view sharedMemoryArea = "/dev/shm/";
constexpr std::string_view temporaryFileMarker = "tty-graphics-protocol";

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

// Removes a name when it goes out of scope, unless told to keep it.
class Unlinker {
public:
    Unlinker(bool active, int (*remove)(const char *), const std::string &name)
        : active_(active)
        , remove_(remove)
        , name_(name)
    {
    }
    ~Unlinker()
    {
        if (active_) {
            remove_(name_.c_str());
        }
    }
    Unlinker(const Unlinker &) = delete;
    Unlinker &operator=(const Unlinker &) = delete;

    void keep() { active_ = false; }

private:
    bool active_;
    int (*remove_)(const char *);
    const std::string &name_;
};

int64_t saturatingAdd(int64_t a, int64_t b)
{
    return a > INT64_MAX - b ? INT64_MAX : a + b;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// `path` is `directory` or lies inside it: "/tmpfoo" is not under "/tmp".
bool isInside(std::string_view path, std::string_view directory)
{
    while (directory.size() > 1 && directory.back() == '/') {
        directory.remove_suffix(1);
    }
    if (directory.empty()) {
        return false;
    }
    if (directory == "/") {
        return startsWith(path, "/");
    }
    return startsWith(path, directory) && (path.size() == directory.size() || path[directory.size()] == '/');
}

std::optional<std::string> resolvedPath(const std::string &path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return std::nullopt;
    }
    return std::string(resolved.get());
}

bool isRefusedArea(std::string_view path)
{
    if (startsWith(path, sharedMemoryArea)) {
        return false;
    }
    return std::any_of(refusedAreas.begin(), refusedAreas.end(),
                       [path](std::string_view area) { return startsWith(path, area); });
}

std::optional<std::vector<uint8_t>> applyCompression(const KittyGraphicsControl &control,
                                                     std::vector<uint8_t> data, KittyInflationLimit limit)
{
    if (!control.compression) {
        return data;
    }
    if (*control.compression == 'z') {
        return kittyInflateZlib(data, limit);
    }
    return std::nullopt;
}

// Inflates (no further than the declared image needs) and checks fetched bytes.
KittyPayloadResult finishPayload(const KittyGraphicsControl &control, std::optional<std::vector<uint8_t>> data,
                                 std::optional<int64_t> declaredSize = std::nullopt)
{
    if (!data) {
        return kittyerror::badPayload;
    }
    std::optional<std::vector<uint8_t>> inflated =
        applyCompression(control, std::move(*data), kittyInflationLimit(control, declaredSize));
    if (!inflated) {
        return kittyerror::badPayload;
    }
    std::optional<KittyGraphicsPayload> payload = makeKittyGraphicsPayload(control, std::move(*inflated));
    if (!payload) {
        return kittyerror::badPayload;
    }
    return std::move(*payload);
}

// A name or path from the host: no zero byte and valid UTF-8.
bool isUsableName(std::span<const uint8_t> bytes)
{
    const std::string_view text(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    return text.find('\0') == std::string_view::npos && utf8::isValid(text);
}

// The byte count of raw pixels the control declares for a shared-memory object; nothing for an
// encoded image; an error for any other format or a side out of range.
std::variant<std::optional<int64_t>, std::string_view>
expectedSharedMemorySize(const KittyGraphicsControl &control)
{
    if (control.format == 100) {
        return std::optional<int64_t>();
    }
    const int64_t bytesPerPixel = control.format == 32 ? 4 : control.format == 24 ? 3 : 0;
    if (bytesPerPixel == 0 || !isKittyImageSide(control.width) || !isKittyImageSide(control.height)) {
        return kittyerror::badPayload;
    }
    return std::optional<int64_t>(control.width * control.height * bytesPerPixel);
}

// Reads `count` bytes at `offset`, retrying interrupted reads; nothing when fewer arrive.
bool readFully(int fd, uint8_t *destination, size_t count, off_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, destination + done, count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace

KittyPayloadResult loadKittyPayload(const KittyGraphicsControl &control, std::span<const uint8_t> payload,
                                    KittyLocalMedia localMedia)
{
    const bool isLocalMedium =
        control.transmission == 'f' || control.transmission == 't' || control.transmission == 's';
    if (isLocalMedium && localMedia != KittyLocalMedia::allowed) {
        return kittyerror::localMediumNotAllowed;
    }
    switch (control.transmission) {
    case 'd':
        if (std::optional<KittyGraphicsPayload> image = decodeKittyDirectPayload(control, payload)) {
            return std::move(*image);
        }
        return kittyerror::badPayload;
    case 'f':
        return loadKittyFilePayload(control, payload, false);
    case 't':
        return loadKittyFilePayload(control, payload, true);
    case 's':
        return loadKittySharedMemoryPayload(control, payload);
    default:
        return kittyerror::unsupportedTransmission;
    }
}

std::optional<KittyGraphicsPayload> decodeKittyDirectPayload(const KittyGraphicsControl &control,
                                                             std::span<const uint8_t> payload)
{
    // The limit holds before inflation too.
    if (payload.empty() || payload.size() > static_cast<size_t>(kittyPayloadLimit)) {
        return std::nullopt;
    }
    // Nothing is read by size here, so "S" may name the size the data inflates to.
    const std::optional<int64_t> declaredSize =
        control.dataSize > 0 ? std::optional<int64_t>(control.dataSize) : std::nullopt;
    KittyPayloadResult result =
        finishPayload(control, std::vector<uint8_t>(payload.begin(), payload.end()), declaredSize);
    if (auto *image = std::get_if<KittyGraphicsPayload>(&result)) {
        return std::move(*image);
    }
    return std::nullopt;
}

KittyPayloadResult loadKittyFilePayload(const KittyGraphicsControl &control, std::span<const uint8_t> payload,
                                        bool isTemporary)
{
    if (payload.empty()) {
        return kittyerror::badPayload;
    }
    if (!isUsableName(payload)) {
        return kittyerror::badPath;
    }
    const std::optional<std::string> path = resolvedPath(std::string(payload.begin(), payload.end()));
    if (!path || isRefusedArea(*path)) {
        return kittyerror::badPath;
    }
    if (isTemporary &&
        (!isAllowedKittyTempPath(*path) || path->find(temporaryFileMarker) == std::string::npos)) {
        return kittyerror::badTempPath;
    }
    return finishPayload(control, readKittyFile(*path, control.dataOffset, control.dataSize, isTemporary));
}

bool isAllowedKittyTempPath(std::string_view path)
{
    if (isInside(path, "/tmp") || isInside(path, "/dev/shm")) {
        return true;
    }
    const char *environment = std::getenv("TMPDIR");
    const std::string temporaryDirectory =
        environment != nullptr && *environment != '\0' ? environment : "/tmp";
    if (isInside(path, temporaryDirectory)) {
        return true;
    }
    const std::optional<std::string> resolved = resolvedPath(temporaryDirectory);
    return resolved && isInside(path, *resolved);
}

std::optional<std::vector<uint8_t>> readKittyFile(const std::string &path, int64_t offset, int64_t size,
                                                  bool unlinkAfterRead)
{
    if (offset < 0 || size < 0) {
        return std::nullopt;
    }
    // Opened before it is examined, so what is examined is what is read. Without blocking, so a
    // FIFO put in the file's place cannot stall the terminal; never through a link made since the
    // path was resolved.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!file.isOpen()) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kittyPayloadLimit ||
        status.st_size < offset) {
        return std::nullopt;
    }
    Unlinker unlinker(unlinkAfterRead, &::unlink, path);
    const int64_t sizeLimit = size >= 1 && size < kittyPayloadLimit ? size : kittyPayloadLimit;
    const int64_t count = std::min<int64_t>(status.st_size - offset, sizeLimit);
    std::vector<uint8_t> bytes;
    if (count <= 0) {
        return bytes;
    }
    if (offset != 0 && ::lseek(file.get(), offset, SEEK_SET) < 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<size_t>(count));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::read(file.get(), bytes.data() + done, std::min(fileReadPiece, bytes.size() - done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

KittyPayloadResult loadKittySharedMemoryPayload(const KittyGraphicsControl &control,
                                                std::span<const uint8_t> payload)
{
    if (payload.empty() || !isUsableName(payload)) {
        return kittyerror::badPayload;
    }
    const auto expectedSize = expectedSharedMemorySize(control);
    if (const auto *error = std::get_if<std::string_view>(&expectedSize)) {
        return *error;
    }
    const std::string name(payload.begin(), payload.end());
    return finishPayload(control, readKittySharedMemory(name, std::get<std::optional<int64_t>>(expectedSize),
                                                        control.dataOffset, control.dataSize));
}

std::optional<std::vector<uint8_t>> readKittySharedMemory(const std::string &name,
                                                          std::optional<int64_t> expectedSize, int64_t offset,
                                                          int64_t size)
{
    if (offset < 0 || size < 0) {
        return std::nullopt;
    }
    // Without blocking, so a FIFO under the name cannot stall the terminal.
    const Descriptor object(::shm_open(name.c_str(), O_RDONLY | O_NONBLOCK, 0));
    if (!object.isOpen()) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(object.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        // Not a shared-memory object: left where it is.
        return std::nullopt;
    }
    const Unlinker unlinker(true, &::shm_unlink, name);
    const int64_t objectSize = status.st_size;
    if (objectSize <= 0 || objectSize > kittyPayloadLimit) {
        return std::nullopt;
    }
    if (expectedSize && objectSize < *expectedSize) {
        return std::nullopt;
    }
    int64_t end = expectedSize.value_or(objectSize);
    if (size != 0) {
        end = std::min(end, saturatingAdd(offset, size));
    }
    if (end - offset <= 0 || objectSize < end) {
        return std::nullopt;
    }
    // Read, not mapped: an object that another process shrinks meanwhile gives a short read, where a
    // mapping would fault.
    std::vector<uint8_t> bytes(static_cast<size_t>(end - offset));
    if (!readFully(object.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset))) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace kestrix
