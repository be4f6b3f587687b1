// Throughput of the screen model's print paths and the cost of scrolling into a large scrollback.
// Prints one line per measurement; run a release build for meaningful numbers.

#include "Kestrix/model/Buffer.h"

#include <chrono>
#include <cstdio>
#include <limits>
#include <string>

using namespace kestrix;

namespace {

// The terminal's scroll for a region spanning the whole screen: append until the ring is full, then
// recycle the oldest line.
void installScroll(Buffer &buffer)
{
    buffer.scroll = [&buffer](bool wrapped) {
        CircularBufferLineList &lines = buffer.lines();
        if (lines.isFull()) {
            lines.recycle(Attribute());
        } else {
            lines.push(buffer.getBlankLine(Attribute()));
            buffer.setYBase(buffer.yBase() + 1);
        }
        lines[lines.count() - 1].isWrapped = wrapped;
        buffer.setYDisp(buffer.yBase());
    };
}

void lineFeed(Buffer &buffer)
{
    buffer.setX(0);
    if (buffer.y() == buffer.scrollBottom()) {
        buffer.scroll(false);
    } else {
        buffer.setY(buffer.y() + 1);
    }
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void benchAsciiLines(std::optional<int64_t> scrollback, const char *label)
{
    Buffer buffer(80, 24, 8, scrollback);
    buffer.fillViewportRows();
    buffer.modes().wraparound = true;
    installScroll(buffer);
    Attribute attribute;
    attribute.bg = Attribute::Color::defaultInvertedColor();
    std::string line(72, 'x');
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(line.data()), line.size());
    const int lines = 2'000'000;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < lines; ++i) {
        buffer.putAsciiRun(bytes, 0, attribute);
        lineFeed(buffer);
    }
    double seconds = secondsSince(start);
    double megabytes = static_cast<double>(lines) * static_cast<double>(line.size() + 1) / 1e6;
    std::printf("ascii lines, %s: %.1f MB/s, %.1f ns per line, %lld slots allocated\n", label,
                megabytes / seconds, seconds * 1e9 / lines,
                static_cast<long long>(buffer.lines().allocatedSlots()));
}

void benchWideCharacters()
{
    Buffer buffer(80, 24, 8, 1000);
    buffer.fillViewportRows();
    buffer.modes().wraparound = true;
    installScroll(buffer);
    CharData wide;
    wide.setValue(0x4E2D, 2);
    const int characters = 10'000'000;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < characters; ++i) {
        buffer.putCharacter(wide);
    }
    double seconds = secondsSince(start);
    std::printf("wide characters: %.1f ns per character\n", seconds * 1e9 / characters);
}

} // namespace

int main()
{
    benchAsciiLines(std::nullopt, "no scrollback");
    benchAsciiLines(10'000, "10000 lines of scrollback");
    benchAsciiLines(std::numeric_limits<int64_t>::max(), "unlimited scrollback (first 2M lines)");
    benchWideCharacters();
    return 0;
}
