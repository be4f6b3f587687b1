// Host output throughput of the terminal: plain text, coloured text, UTF-8, a full-screen redraw
// pattern and an editor's line and cell edits in a scroll region, fed in 4 KiB reads as a session
// delivers them.

#include "Kestrix/core/Terminal.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace kestrix;

namespace {

std::string repeatToSize(const std::string &unit, size_t size)
{
    std::string text;
    text.reserve(size + unit.size());
    while (text.size() < size) {
        text += unit;
    }
    return text;
}

void measure(const char *name, const std::string &stream)
{
    TerminalOptions options;
    options.cols = 160;
    options.rows = 50;
    options.scrollback = 10000;
    Terminal terminal(nullptr, options);
    const auto *bytes = reinterpret_cast<const uint8_t *>(stream.data());
    const auto start = std::chrono::steady_clock::now();
    for (size_t offset = 0; offset < stream.size(); offset += 4096) {
        terminal.feedBytes(ByteSpan(bytes + offset, std::min<size_t>(4096, stream.size() - offset)));
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%-16s %8.1f MB/s\n", name, static_cast<double>(stream.size()) / seconds.count() / 1e6);
}

} // namespace

int main()
{
    const size_t size = 32 * 1024 * 1024;
    measure("ascii", repeatToSize("The quick brown fox jumps over the lazy dog 0123456789.\r\n", size));
    measure("sgr",
            repeatToSize("\x1b[1;31mred\x1b[0m \x1b[38;5;208morange\x1b[m \x1b[38:2::10:20:30mrgb\x1b[m\r\n",
                         size));
    measure("utf8", repeatToSize("caf\xc3\xa9 \xe4\xb8\x80\xe4\xba\x8c \xe2\x94\x80\xe2\x94\x82 e\xcc\x81 "
                                 "\xf0\x9f\x98\x80\r\n",
                                 size));
    measure("redraw",
            repeatToSize(
                "\x1b[H\x1b[2J\x1b[1;1H top - 13:30:53 up\x1b[K\r\n\x1b[7m  PID USER\x1b[m\x1b[K\r\n", size));
    measure("edit",
            repeatToSize("\x1b[5;40r\x1b[10;1H\x1b[3L\x1b[20;1H\x1b[2M\x1b[12;5H\x1b[4@text\x1b[3P\x1b[S"
                         "\x1b[T\x1b[r\x1b[30;9H\x1b[K\x1b[2X\x1b[1J\x1b[7b",
                         size));
    return 0;
}
