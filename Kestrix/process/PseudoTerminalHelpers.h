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

// Stateless routines for running a program on a new pseudo-terminal; the one place where the
// engine and the application open terminals and start children on them.
struct PseudoTerminalHelpers {
    struct Child {
        pid_t pid;
        int masterFd;
    };

    struct AvailableBytes {
        int result;
        int count;
    };

    // A new pseudo-terminal, both descriptors close-on-exec from the start so no child started
    // meanwhile by another thread inherits them, the master non-blocking when asked. On failure both
    // are -1 and `error` holds the errno.
    struct Pair {
        int master = -1;
        int slave = -1;
        int error = 0;
    };
    static Pair openPair(bool nonBlockingMaster);

    // What startOnTerminal did: `pid` is -1 when no process could be made (`error` is then fork's
    // errno). A nonzero `launchError` is the errno of a child that could not take the terminal or
    // run the program; that child has exited with status 127 and still has to be reaped.
    struct Started {
        pid_t pid = -1;
        int error = 0;
        int launchError = 0;
    };

    // Runs `path` in a new session whose controlling terminal and three standard streams are
    // `slave`, with no other descriptor, default signal dispositions and an empty signal mask, in
    // `directory` when it is not null. Returns once the program runs or the child has given up.
    // The caller keeps `slave` and reaps the child.
    static Started startOnTerminal(int slave, const char *path, char *const argv[], char *const envp[],
                                   const char *directory);

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
