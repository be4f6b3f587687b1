#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <vector>

namespace kestrix {

// A NULL-terminated array of owned C strings, the form execve takes.
class CStringArray {
public:
    CStringArray() = default;
    CStringArray(CStringArray &&other) noexcept;
    CStringArray &operator=(CStringArray &&other) noexcept;
    CStringArray(const CStringArray &) = delete;
    CStringArray &operator=(const CStringArray &) = delete;
    ~CStringArray();

    char *const *data() const { return pointers_.data(); }
    // Number of strings, without the closing NULL.
    size_t size() const { return pointers_.empty() ? 0 : pointers_.size() - 1; }

private:
    friend struct PseudoTerminalHelpers;
    void release();

    std::vector<char *> pointers_;
};

// Stateless routines for running a program on a new pseudo-terminal.
struct PseudoTerminalHelpers {
    struct Child {
        pid_t pid;
        int masterFd;
    };

    struct AvailableBytes {
        int result;
        int count;
    };

    // Starts `executable` with `args` as its whole argument vector on a new pseudo-terminal of the
    // given size, in `currentDirectory` when one is given. The child gets the terminal as its three
    // standard streams and nothing else, default signal dispositions and an empty signal mask.
    // Returns the child and the master descriptor (close-on-exec), or nothing when a string cannot be
    // copied or the terminal or the process cannot be made. The caller reaps the child.
    static std::optional<Child> forkAndExec(const std::string &executable,
                                            const std::vector<std::string> &args,
                                            const std::vector<std::string> &environment,
                                            const std::optional<std::string> &currentDirectory,
                                            const winsize &windowSize);

    // ioctl(TIOCSWINSZ); returns the ioctl's result.
    static int setWindowSize(int fd, const winsize &size);

    // ioctl(FIONREAD): the ioctl's result and the number of bytes waiting to be read.
    static AvailableBytes availableBytes(int fd);

    // Copies of the strings; nothing when a copy fails or a string holds a NUL byte, which C cannot carry.
    static std::optional<CStringArray> cStringArray(const std::vector<std::string> &strings);
};

} // namespace kestrix
