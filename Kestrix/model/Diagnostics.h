#pragma once

#include <string_view>

namespace kestrix {

// Prints one line of engine diagnostics to standard output.
void printDiagnostic(std::string_view message);

// Internal consistency failure: prints the message (to standard output like every engine diagnostic,
// and to standard error so it survives in crash logs) and stops the process.
[[noreturn]] void fatalError(std::string_view message);

} // namespace kestrix
