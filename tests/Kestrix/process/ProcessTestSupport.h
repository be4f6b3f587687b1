#pragma once

#include "Kestrix/core/TaskQueue.h"

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace kestrix::testing {

// Runs the queue on this thread until `done` holds or the time is up; real children answer in
// milliseconds, the limit only keeps a broken build from hanging.
inline bool runUntil(ManualTaskQueue &queue, const std::function<bool()> &done,
                     std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        queue.runPending();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs the queue for a while, for checks that something does not happen.
inline void runFor(ManualTaskQueue &queue, std::chrono::milliseconds period)
{
    runUntil(
        queue, [] { return false; }, period);
}

inline std::set<int> openDescriptors()
{
    std::set<int> descriptors;
    DIR *directory = ::opendir("/proc/self/fd");
    while (dirent *entry = ::readdir(directory)) {
        if (entry->d_name[0] != '.') {
            descriptors.insert(std::stoi(entry->d_name));
        }
    }
    int own = ::dirfd(directory);
    ::closedir(directory);
    descriptors.erase(own);
    return descriptors;
}

// True while `pid` is an unreaped child of this process (running or a zombie).
inline bool isOurChild(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    // pid (comm) state ppid ...; comm may hold spaces, so read from the last ')'.
    auto close = line.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    char state = 0;
    int parent = 0;
    std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent);
    return parent == ::getpid();
}

// Output of a terminal in its default mode turns "\n" into "\r\n".
inline std::string withoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

} // namespace kestrix::testing
