// kestrix-headless: runs a program, or feeds a recorded stream, into a terminal without a view and
// prints the screen. A developer tool for the tests; it is not installed.
//
//   kestrix-headless [--size COLSxROWS] [--scrollback N] [--history] [--replies FILE] [--state FILE]
//                    [--resize COLSxROWS]... -- COMMAND ARG...
//   kestrix-headless [--size COLSxROWS] [--scrollback N] [--history] [--replies FILE] [--state FILE]
//                    [--resize COLSxROWS]... [--chunk N] --feed FILE
//
// Each --resize resizes the terminal, in order, after the program ended or the stream was fed.

#include "Kestrix/process/HeadlessTerminal.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

using kestrix::HeadlessTerminal;
using kestrix::Terminal;

// A task queue run by the tool's main thread, which sleeps while nothing is due.
class BlockingTaskQueue final : public kestrix::TaskQueue {
public:
    void async(Task task) override { asyncAfter(std::chrono::milliseconds(0), std::move(task)); }

    void asyncAfter(std::chrono::milliseconds delay, Task task) override
    {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back({Clock::now() + delay, sequence_++, std::move(task)});
        }
        wake_.notify_one();
    }

    void runUntil(const std::function<bool()> &done)
    {
        while (!done()) {
            takeNextDue()();
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        Clock::time_point due;
        uint64_t sequence;
        Task task;
    };

    Task takeNextDue()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            auto next = std::min_element(tasks_.begin(), tasks_.end(), [](const Entry &a, const Entry &b) {
                return std::tie(a.due, a.sequence) < std::tie(b.due, b.sequence);
            });
            if (next != tasks_.end() && next->due <= Clock::now()) {
                Task task = std::move(next->task);
                tasks_.erase(next);
                return task;
            }
            if (next == tasks_.end()) {
                wake_.wait(lock);
            } else {
                wake_.wait_until(lock, next->due);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Entry> tasks_;
    uint64_t sequence_ = 0;
};

// Keeps every byte the terminal sends to the host.
class RecordingHeadlessTerminal final : public HeadlessTerminal {
public:
    using HeadlessTerminal::HeadlessTerminal;

    void terminalSendToHost(Terminal &source, std::span<const uint8_t> data) override
    {
        replies.append(data.begin(), data.end());
        HeadlessTerminal::terminalSendToHost(source, data);
    }

    std::string replies;
};

struct Options {
    int64_t cols = 80;
    int64_t rows = 25;
    std::optional<int64_t> scrollback;
    bool history = false;
    std::optional<std::string> repliesPath;
    std::optional<std::string> statePath;
    std::optional<std::string> feedPath;
    size_t chunk = 4096;
    std::vector<std::pair<int64_t, int64_t>> resizes;
    std::vector<std::string> command;
};

[[noreturn]] void usage(const std::string &problem)
{
    std::cerr << "kestrix-headless: " << problem << "\n"
              << "usage: kestrix-headless [--size COLSxROWS] [--scrollback N] [--history] [--replies FILE]\n"
              << "                        [--state FILE] [--resize COLSxROWS]... -- COMMAND ARG...\n"
              << "       kestrix-headless [--size COLSxROWS] [--scrollback N] [--history] [--replies FILE]\n"
              << "                        [--state FILE] [--resize COLSxROWS]... [--chunk N] --feed FILE\n";
    std::exit(2);
}

int64_t parseCount(std::string_view text, int64_t minimum, int64_t maximum, const std::string &what)
{
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum) {
        usage("bad " + what + ": " + std::string(text));
    }
    return value;
}

std::pair<int64_t, int64_t> parseSize(const std::string &size)
{
    auto x = size.find('x');
    if (x == std::string::npos) {
        usage("bad size: " + size);
    }
    return {parseCount(std::string_view(size).substr(0, x), 2, 4096, "size"),
            parseCount(std::string_view(size).substr(x + 1), 1, 4096, "size")};
}

Options parseArguments(int argc, char **argv)
{
    Options options;
    int i = 1;
    auto value = [&](const std::string &flag) -> std::string {
        if (i + 1 >= argc) {
            usage(flag + " needs a value");
        }
        return argv[++i];
    };
    for (; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--") {
            options.command.assign(argv + i + 1, argv + argc);
            break;
        } else if (argument == "--size") {
            std::tie(options.cols, options.rows) = parseSize(value(argument));
        } else if (argument == "--resize") {
            options.resizes.push_back(parseSize(value(argument)));
        } else if (argument == "--scrollback") {
            options.scrollback = parseCount(value(argument), 0, 10000000, "scrollback");
        } else if (argument == "--history") {
            options.history = true;
        } else if (argument == "--replies") {
            options.repliesPath = value(argument);
        } else if (argument == "--state") {
            options.statePath = value(argument);
        } else if (argument == "--feed") {
            options.feedPath = value(argument);
        } else if (argument == "--chunk") {
            options.chunk = static_cast<size_t>(parseCount(value(argument), 1, 1 << 30, "chunk"));
        } else {
            usage("unknown option " + argument);
        }
    }
    if (options.feedPath.has_value() == !options.command.empty()) {
        usage("give either --feed FILE or -- COMMAND");
    }
    return options;
}

// The command as a path: names without a slash are looked up on PATH, as a shell would.
std::string resolveCommand(const std::string &name)
{
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char *path = std::getenv("PATH");
    std::stringstream directories(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return name; // the child then ends with status 127
}

std::string lineText(const Terminal &terminal, const kestrix::BufferLine &line)
{
    std::string text;
    for (int64_t col = 0; col < terminal.cols && col < line.dataSize(); ++col) {
        const kestrix::CharData &cell = line[col];
        if (cell.width == 0) {
            continue; // the right half of a wide character
        }
        text += cell.code == 0 ? " " : terminal.stringForCellCode(cell.code);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

void printScreen(Terminal &terminal, bool withHistory)
{
    kestrix::Buffer &buffer = *terminal.buffer;
    int64_t first = withHistory ? 0 : buffer.yBase();
    for (int64_t row = first; row < buffer.yBase() + terminal.rows; ++row) {
        std::string text = row < buffer.lines().count() ? lineText(terminal, buffer.lines()[row]) : "";
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
    }
}

std::string jsonString(const std::string &text)
{
    std::string json = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

bool writeFile(const std::string &path, const std::string &content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(file);
}

bool feed(Terminal &terminal, const std::string &path, size_t chunk)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::vector<uint8_t> buffer(chunk);
    while (file) {
        file.read(reinterpret_cast<char *>(buffer.data()), static_cast<std::streamsize>(chunk));
        auto count = static_cast<size_t>(file.gcount());
        if (count > 0) {
            terminal.feedBytes({buffer.data(), count});
        }
    }
    return file.eof();
}

} // namespace

int main(int argc, char **argv)
{
    Options options = parseArguments(argc, argv);
    kestrix::TerminalOptions terminalOptions;
    terminalOptions.cols = options.cols;
    terminalOptions.rows = options.rows;
    if (options.scrollback) {
        terminalOptions.scrollback = *options.scrollback;
    }

    BlockingTaskQueue queue;
    bool ended = false;
    RecordingHeadlessTerminal headless(terminalOptions, queue, [&](std::optional<int32_t>) { ended = true; });
    Terminal &terminal = headless.terminal();

    if (options.feedPath) {
        // A recording may come from any host: replaying it must not read or delete files here.
        terminal.options.allowsKittyLocalMedia = false;
        if (!feed(terminal, *options.feedPath, options.chunk)) {
            std::cerr << "kestrix-headless: cannot read " << *options.feedPath << "\n";
            return 1;
        }
    } else {
        std::vector<std::string> args(options.command.begin() + 1, options.command.end());
        headless.process()->startProcess(resolveCommand(options.command[0]), args, std::nullopt,
                                         options.command[0]);
        if (!headless.process()->running()) {
            std::cerr << "kestrix-headless: cannot start " << options.command[0] << "\n";
            return 1;
        }
        queue.runUntil([&] { return ended; });
    }

    for (const auto &[cols, rows] : options.resizes) {
        terminal.resizeScreen(cols, rows);
    }
    printScreen(terminal, options.history);
    std::fflush(stdout);
    if (options.repliesPath && !writeFile(*options.repliesPath, headless.replies)) {
        std::cerr << "kestrix-headless: cannot write " << *options.repliesPath << "\n";
        return 1;
    }
    if (options.statePath) {
        auto [col, row] = terminal.cursorPosition();
        std::string state =
            "{\"cursorColumn\": " + std::to_string(col) + ", \"cursorRow\": " + std::to_string(row) +
            ", \"alternateScreen\": " + (terminal.isAlternateBufferActive() ? "true" : "false") +
            ", \"title\": " + jsonString(terminal.terminalTitle) + "}\n";
        if (!writeFile(*options.statePath, state)) {
            std::cerr << "kestrix-headless: cannot write " << *options.statePath << "\n";
            return 1;
        }
    }
    return 0;
}
