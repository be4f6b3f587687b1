// Mouse reports: the button code and the five wire encodings.

#include "Kestrix/core/Terminal.h"

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

// Buttons 1 to 5 (left, middle, right, wheel up, wheel down); any other button reports 0.
constexpr std::array<int64_t, 5> buttonCodes = {1, 2, 0, 64, 65};
constexpr int64_t releaseCode = 3;
constexpr int64_t shiftBit = 4;
constexpr int64_t metaBit = 8;
constexpr int64_t controlBit = 16;
constexpr int64_t motionBit = 32;
// The bits that tell a release (code 3 without motion) apart from a press or a drag.
constexpr int64_t releaseMask = 0x23;

// The largest value the UTF-8 form carries; it is also the one value sent as a zero byte.
constexpr int64_t largestUtfValue = 2047;

uint8_t x10Byte(int64_t value)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 255));
}

} // namespace

int64_t Terminal::mouseButtonFlags(int64_t button, bool release, bool shift, bool meta, bool control) const
{
    int64_t code = releaseCode;
    if (!release) {
        code = button >= 1 && button <= 5 ? buttonCodes[static_cast<size_t>(button - 1)] : 0;
    }
    const MouseMode mode = mouseMode();
    if (mode == MouseMode::vt200 || mode == MouseMode::buttonEventTracking || mode == MouseMode::anyEvent) {
        code |= (shift ? shiftBit : 0) | (meta ? metaBit : 0) | (control ? controlBit : 0);
    }
    return code;
}

void Terminal::sendMouseButton(int64_t flags, int64_t x, int64_t y)
{
    encodeAndSendMouse(flags, x, y, x, y);
}

void Terminal::sendMouseMotion(int64_t flags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY)
{
    encodeAndSendMouse(flags + motionBit, x, y, pixelX, pixelY);
}

void Terminal::encodeMouseUtf(std::vector<uint8_t> &data, int64_t ch)
{
    const int64_t value = std::clamp<int64_t>(ch, 0, largestUtfValue);
    if (ch == largestUtfValue) {
        data.push_back(0);
    } else if (value <= 127) {
        data.push_back(static_cast<uint8_t>(value));
    } else {
        data.push_back(static_cast<uint8_t>(0xC0 | value >> 6));
        data.push_back(static_cast<uint8_t>(0x80 | (value & 0x3F)));
    }
}

void Terminal::encodeAndSendMouse(int64_t flags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY)
{
    const bool isRelease = (flags & releaseMask) == releaseCode;
    // The SGR forms tell a release by the final byte and report the code without the release bits.
    sendMouseEvent(flags, isRelease ? flags & ~releaseMask : flags, isRelease, x, y, pixelX, pixelY);
}

void Terminal::sendMouseRelease(int64_t pressFlags, int64_t x, int64_t y, int64_t pixelX, int64_t pixelY)
{
    // The SGR forms report which button went up; the older ones only that one did.
    sendMouseEvent((pressFlags & ~int64_t{3}) | releaseCode, pressFlags, true, x, y, pixelX, pixelY);
}

void Terminal::sendMouseEvent(int64_t flags, int64_t sgrCode, bool isRelease, int64_t x, int64_t y,
                              int64_t pixelX, int64_t pixelY)
{
    const char *sgrFinal = isRelease ? "m" : "M";
    switch (mouseProtocol) {
    case MouseProtocolEncoding::x10:
        sendReply({csi(), "M", x10Byte(flags + 32), x10Byte(x + 33), x10Byte(y + 33)});
        break;
    case MouseProtocolEncoding::utf8: {
        std::vector<uint8_t> values;
        encodeMouseUtf(values, flags + 32);
        encodeMouseUtf(values, x + 33);
        encodeMouseUtf(values, y + 33);
        sendReply({csi(), "M", values});
        break;
    }
    case MouseProtocolEncoding::sgr:
        sendReply({csi(), "<", std::to_string(sgrCode), ";", std::to_string(x + 1), ";",
                   std::to_string(y + 1), sgrFinal});
        break;
    case MouseProtocolEncoding::urxvt:
        sendReply(
            {csi(), std::to_string(flags + 32), ";", std::to_string(x + 1), ";", std::to_string(y + 1), "M"});
        break;
    case MouseProtocolEncoding::sgrPixel:
        sendReply({csi(), "<", std::to_string(sgrCode), ";", std::to_string(pixelX), ";",
                   std::to_string(pixelY), sgrFinal});
        break;
    }
}

} // namespace kestrix
